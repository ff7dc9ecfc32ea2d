// Console output, time and pause of the POSIX System, and the System itself.
#include <chrono>
#include <ctime>
#include <thread>

#include "platform/posix/posix_charset.h"
#include "platform/posix/posix_system.h"

namespace iz {

PosixSystem::PosixSystem() {
    posix::ignore_broken_pipe();
    posix::restrict_umask();
}

void PosixSystem::write_console(const char* bytes, size_t count) {
    posix::write_console(bytes, count);
}

namespace {

LocalTime from_parts(const std::tm& parts) {
    LocalTime time;
    time.year = parts.tm_year + 1900;
    time.month = parts.tm_mon + 1;
    time.day = parts.tm_mday;
    time.hour = parts.tm_hour;
    time.minute = parts.tm_min;
    time.second = parts.tm_sec;
    return time;
}

}  // namespace

LocalTime PosixSystem::local_time() {
    std::time_t now = std::time(nullptr);
    std::tm parts{};
    localtime_r(&now, &parts);
    return from_parts(parts);
}

LocalTime PosixSystem::utc_time() {
    std::time_t now = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    return from_parts(parts);
}

void PosixSystem::sleep_ms(unsigned milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::unique_ptr<System> make_system() {
    return std::unique_ptr<System>(new PosixSystem());
}

}  // namespace iz
