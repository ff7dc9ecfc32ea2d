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

uint32_t Win32System::module_file_name(char* buffer, uint32_t size) {
    DWORD length = GetModuleFileNameA(nullptr, buffer, size);
    if (length < size) {
        return length;
    }
    // The path was cut, and (as before Vista, and under Wine) may be left
    // unterminated: leave an empty text rather than a stub of the path.
    if (size > 0) {
        buffer[0] = '\0';
    }
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
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

int Win32System::wait_process(const ProcessHandle& process) {
    bool ended = false;
    return wait_process_for(process, INFINITE, &ended);
}

bool Win32System::process_exit_code(const ProcessHandle& process, uint32_t* code) {
    DWORD exit_code = 0;
    if (!GetExitCodeProcess(handle_of(process.process), &exit_code)) {
        return false;
    }
    *code = exit_code;
    return true;
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
