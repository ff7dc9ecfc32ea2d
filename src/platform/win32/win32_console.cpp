#include <windows.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/win32/win32_system.h"

namespace iz {

namespace {

// The one piece of process-wide state: the system calls the trampoline with
// nothing but the event, on a thread of its own, so the handler and its
// context must be found here. The lock is held for every call, so that
// unregistering can wait for one in progress.
std::mutex handler_lock;
ConsoleHandler registered_handler = nullptr;
void* registered_context = nullptr;

BOOL WINAPI console_trampoline(DWORD event) {
    std::lock_guard<std::mutex> lock(handler_lock);
    if (registered_handler == nullptr) {
        return FALSE;  // unregistered meanwhile: the default course, as for a later event
    }
    return registered_handler(static_cast<ConsoleEvent>(event), registered_context) ? TRUE : FALSE;
}

}  // namespace

bool Win32System::register_console_handler(ConsoleHandler handler, void* context) {
    {
        // Stored before the registration, so that the first event finds both.
        std::lock_guard<std::mutex> lock(handler_lock);
        registered_context = context;
        registered_handler = handler;
    }
    return SetConsoleCtrlHandler(console_trampoline, TRUE) != FALSE;
}

void Win32System::unregister_console_handler() {
    SetConsoleCtrlHandler(console_trampoline, FALSE);
    // Taking the lock waits for a call that began before the line above.
    std::lock_guard<std::mutex> lock(handler_lock);
    registered_handler = nullptr;
    registered_context = nullptr;
}

namespace {

DWORD WINAPI run_work(LPVOID parameter) {
    std::unique_ptr<std::function<void()>> work(static_cast<std::function<void()>*>(parameter));
    (*work)();
    return 0;
}

}  // namespace

bool Win32System::run_bounded(const std::function<void()>& work, unsigned milliseconds) {
    // The thread owns its copy of the work: it may outlive this call.
    auto copy = std::make_unique<std::function<void()>>(work);
    HANDLE thread = CreateThread(nullptr, 0, run_work, copy.get(), 0, nullptr);
    if (thread == nullptr) {
        work();  // no thread to spare: the work is still done, unbounded
        return true;
    }
    copy.release();
    DWORD waited = WaitForSingleObject(thread, milliseconds);
    CloseHandle(thread);
    return waited == WAIT_OBJECT_0;
}

// Standard output is a text-mode stream, so LF reaches the console as
// CR LF; the C library locks the stream, so any thread may write.
void Win32System::write_console(const char* bytes, size_t count) {
    std::fwrite(bytes, 1, count, stdout);
    std::fflush(stdout);
}

namespace {

LocalTime from_system_time(const SYSTEMTIME& now) {
    LocalTime time;
    time.year = now.wYear;
    time.month = now.wMonth;
    time.day = now.wDay;
    time.hour = now.wHour;
    time.minute = now.wMinute;
    time.second = now.wSecond;
    return time;
}

}  // namespace

LocalTime Win32System::local_time() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return from_system_time(now);
}

LocalTime Win32System::utc_time() {
    SYSTEMTIME now;
    GetSystemTime(&now);
    return from_system_time(now);
}

void Win32System::sleep_ms(unsigned milliseconds) {
    Sleep(milliseconds);
}

std::unique_ptr<System> make_system() {
    return std::unique_ptr<System>(new Win32System());
}

}  // namespace iz
