// The System of POSIX platforms: the Windows facilities the program needs,
// each by its POSIX equivalent.
#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <map>
#include <mutex>
#include <thread>

#include "platform/posix/ini_reader.h"
#include "platform/posix/posix_charset.h"
#include "platform/posix/posix_parts.h"
#include "platform/system.h"

namespace iz {

namespace {

class PosixSystem : public System {
  public:
    PosixSystem() { posix::ignore_broken_pipe(); }

    bool token_groups(std::vector<TokenGroup>* groups) override {
        return posix::token_groups(groups);
    }
    int user_language_name(char* buffer, int size) override {
        return posix::user_language_name(buffer, size);
    }
    bool is_lead_byte(unsigned char byte, bool japanese) override {
        // The Japanese texts are code page 932, whatever the terminal uses.
        return japanese && ((byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC));
    }
    void write_console(const char* bytes, size_t count) override {
        posix::write_console(bytes, count);
    }
    LocalTime local_time() override;
    void sleep_ms(unsigned milliseconds) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }

    int last_error() override { return errno; }
    int name_too_long_error() override { return ENAMETOOLONG; }
    int invalid_name_error() override { return EINVAL; }
    char path_separator() override { return '/'; }

    int append_to_file(const std::string& path, const std::string& bytes) override {
        return posix::append_to_file(path, bytes);
    }
    int write_file(const std::string& path, const std::string& bytes) override {
        return posix::write_file(path, bytes);
    }
    // unlink, not remove: DeleteFileA refuses a folder, even an empty one.
    int delete_file(const std::string& path) override {
        return unlink(path.c_str()) == 0 ? 0 : errno;
    }
    int file_not_found_error() override { return ENOENT; }
    std::unique_ptr<ReadableFile> open_for_reading(const std::string& path) override {
        return posix::open_for_reading(path);
    }
    int64_t file_size(const std::string& path) override {
        struct stat info;
        return stat(path.c_str(), &info) == 0 ? static_cast<int64_t>(info.st_size) : -1;
    }
    bool is_disk_file(const std::string& path) override { return posix::is_disk_file(path); }
    uint32_t full_path_name(const char* name, char* buffer, uint32_t size) override {
        return posix::full_path_name(name, buffer, size);
    }
    uint32_t file_attributes(const char* path) override { return posix::file_attributes(path); }
    uint32_t temp_path(char* buffer, uint32_t size) override {
        return posix::temp_path(buffer, size);
    }
    uint32_t profile_string(const char* section, const char* key, const char* fallback,
                            char* buffer, uint32_t size, const char* file) override {
        return ini_profile_string_from_file(file, section, key, fallback, buffer, size);
    }
    uint32_t work_file_profile_string(const char* section, const char* key, const char* fallback,
                                      char* buffer, uint32_t size, const char* file) override {
        return posix::work_file_profile_string(section, key, fallback, buffer, size, file);
    }

    RegistryAnswer registry_value(const char* subkey, const char* name, char* data,
                                  uint32_t size) override {
        return posix::registry_value(subkey, name, data, size);
    }
    // No version gate and no WOW64 here: the answer of Windows 2000, on which
    // nothing is looked up and "ProgramFiles" is taken.
    bool os_version(OsVersion* version) override {
        version->major = 5;
        version->minor = 0;
        return true;
    }
    Wow64Answer wow64_process(bool* is_wow64) override {
        *is_wow64 = false;
        return Wow64Answer::Ok;
    }
    uint32_t environment_variable(const char* name, char* buffer, uint32_t size) override {
        return posix::environment_variable(name, buffer, size);
    }

    uint32_t module_file_name(char* buffer, uint32_t size) override {
        return posix::module_file_name(buffer, size);
    }
    const char* own_relative_path() override { return "ZOVTools/installzova"; }
    bool file_names_ignore_case() override { return false; }
    int start_process(const std::string& command_line, ProcessHandle* process) override {
        return posix::start_process(command_line, process);
    }
    int wait_process(const ProcessHandle& process) override;
    int wait_process_for(const ProcessHandle& process, unsigned milliseconds, bool* ended) override;
    bool process_exit_code(const ProcessHandle& process, uint32_t* code) override;
    void close_process(ProcessHandle* process) override;

    bool register_console_handler(ConsoleHandler handler, void* context) override {
        return console_signals_.start(handler, context);
    }
    void unregister_console_handler() override { console_signals_.stop(); }

  private:
    posix::ConsoleSignals console_signals_;
    // Wait statuses of reaped children, until their handle is closed.
    std::mutex mutex_;
    std::map<int64_t, int> wait_statuses_;
};

LocalTime PosixSystem::local_time() {
    std::time_t now = std::time(nullptr);
    std::tm parts{};
    localtime_r(&now, &parts);
    LocalTime time;
    time.year = parts.tm_year + 1900;
    time.month = parts.tm_mon + 1;
    time.day = parts.tm_mday;
    time.hour = parts.tm_hour;
    time.minute = parts.tm_min;
    time.second = parts.tm_sec;
    return time;
}

int PosixSystem::wait_process(const ProcessHandle& process) {
    int status = 0;
    int error = posix::wait_process(process.process, &status);
    if (error == 0) {
        std::lock_guard<std::mutex> lock(mutex_);
        wait_statuses_[process.process] = status;
    }
    return error;
}

int PosixSystem::wait_process_for(const ProcessHandle& process, unsigned milliseconds,
                                  bool* ended) {
    int status = 0;
    int error = posix::wait_process_for(process.process, milliseconds, &status, ended);
    if (error == 0 && *ended) {
        std::lock_guard<std::mutex> lock(mutex_);
        wait_statuses_[process.process] = status;
    }
    return error;
}

bool PosixSystem::process_exit_code(const ProcessHandle& process, uint32_t* code) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = wait_statuses_.find(process.process);
    if (found == wait_statuses_.end()) {
        errno = ECHILD;
        return false;
    }
    *code = posix::exit_code_from_wait_status(found->second);
    return true;
}

void PosixSystem::close_process(ProcessHandle* process) {
    std::lock_guard<std::mutex> lock(mutex_);
    wait_statuses_.erase(process->process);
    process->process = 0;
}

}  // namespace

std::unique_ptr<System> make_system() {
    return std::unique_ptr<System>(new PosixSystem());
}

}  // namespace iz
