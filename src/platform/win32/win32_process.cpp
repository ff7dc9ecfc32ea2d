#include <windows.h>

#include "platform/win32/win32_system.h"

namespace iz {

namespace {

HANDLE handle_of(intptr_t value) {
    return reinterpret_cast<HANDLE>(value);
}

intptr_t value_of(HANDLE handle) {
    return reinterpret_cast<intptr_t>(handle);
}

}  // namespace

int Win32System::module_file_name(std::string* path) {
    const size_t kLargest = 1 << 16;
    std::string buffer(MAX_PATH + 1, '\0');
    for (;;) {
        DWORD length = GetModuleFileNameA(nullptr, &buffer[0], static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return win32::error_of_last_call();
        }
        if (length < buffer.size()) {
            *path = buffer.substr(0, length);
            return 0;
        }
        // Cut to the buffer: a larger one, up to the longest path there is.
        if (buffer.size() >= kLargest) {
            return ERROR_INSUFFICIENT_BUFFER;
        }
        buffer.assign(buffer.size() * 2, '\0');
    }
}

int Win32System::start_process(const std::string& command_line, ProcessHandle* process) {
    // CreateProcessA may write into the command line, so it gets a copy.
    std::string writable = command_line;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started = {};
    if (!CreateProcessA(nullptr, &writable[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &started)) {
        return static_cast<int>(GetLastError());
    }
    process->process = value_of(started.hProcess);
    process->thread = value_of(started.hThread);
    process->id = static_cast<int64_t>(started.dwProcessId);
    return 0;
}

int Win32System::wait_process_for(const ProcessHandle& process, unsigned milliseconds,
                                  bool* ended) {
    DWORD result = WaitForSingleObject(handle_of(process.process), milliseconds);
    *ended = result == WAIT_OBJECT_0;
    if (result == WAIT_OBJECT_0 || result == WAIT_TIMEOUT) {
        return 0;
    }
    DWORD error = GetLastError();
    return error != 0 ? static_cast<int>(error) : ERROR_GEN_FAILURE;
}

int Win32System::process_exit_code(const ProcessHandle& process, uint32_t* code) {
    DWORD exit_code = 0;
    if (!GetExitCodeProcess(handle_of(process.process), &exit_code)) {
        return win32::error_of_last_call();
    }
    *code = exit_code;
    return 0;
}

void Win32System::close_process(ProcessHandle* process) {
    // Zeroed once closed, so a second call closes nothing.
    for (intptr_t* handle : {&process->process, &process->thread}) {
        if (*handle != 0) {
            CloseHandle(handle_of(*handle));
            *handle = 0;
        }
    }
}

const char* Win32System::own_relative_path() {
    return "ZOVTools\\installzova.exe";
}

bool Win32System::file_names_ignore_case() {
    return true;
}

}  // namespace iz
