// The System of Windows: each facility is the Win32 call the core was written
// against, so most methods pass straight through.
#include <windows.h>

#include <cstdio>

#include "platform/system.h"
#include "platform/win32/win32_parts.h"

namespace iz {

namespace {

class Win32System : public System {
  public:
    bool token_groups(std::vector<TokenGroup>* groups) override {
        return win32::token_groups(groups);
    }
    int user_language_name(char* buffer, int size) override {
        return win32::user_language_name(buffer, size);
    }
    // The ANSI code page decides, whatever the language of the run.
    bool is_lead_byte(unsigned char byte, bool /*japanese*/) override {
        return IsDBCSLeadByte(byte) != FALSE;
    }
    // Standard output is a text-mode stream, so LF reaches the console as
    // CR LF; the C library locks the stream, so any thread may write.
    void write_console(const char* bytes, size_t count) override {
        std::fwrite(bytes, 1, count, stdout);
        std::fflush(stdout);
    }
    LocalTime local_time() override;
    void sleep_ms(unsigned milliseconds) override { Sleep(milliseconds); }

    int last_error() override { return static_cast<int>(GetLastError()); }
    int name_too_long_error() override { return ERROR_FILENAME_EXCED_RANGE; }
    int invalid_name_error() override { return ERROR_INVALID_NAME; }
    char path_separator() override { return '\\'; }

    int append_to_file(const std::string& path, const std::string& bytes) override {
        return win32::append_to_file(path, bytes);
    }
    int write_file(const std::string& path, const std::string& bytes) override {
        return win32::write_file(path, bytes);
    }
    int delete_file(const std::string& path) override {
        return DeleteFileA(path.c_str()) ? 0 : static_cast<int>(GetLastError());
    }
    int file_not_found_error() override { return ERROR_FILE_NOT_FOUND; }
    std::unique_ptr<ReadableFile> open_for_reading(const std::string& path) override {
        return win32::open_for_reading(path);
    }
    int64_t file_size(const std::string& path) override {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
            return -1;
        }
        return static_cast<int64_t>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) |
                                    data.nFileSizeLow);
    }
    bool is_disk_file(const std::string& path) override { return win32::is_disk_file(path); }
    uint32_t full_path_name(const char* name, char* buffer, uint32_t size) override {
        DWORD length = GetFullPathNameA(name, size, buffer, nullptr);
        // A path that does not fit sets no error number of its own.
        if (length >= size) {
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
        }
        return length;
    }
    uint32_t file_attributes(const char* path) override { return GetFileAttributesA(path); }
    uint32_t temp_path(char* buffer, uint32_t size) override { return GetTempPathA(size, buffer); }
    uint32_t profile_string(const char* section, const char* key, const char* fallback,
                            char* buffer, uint32_t size, const char* file) override {
        return GetPrivateProfileStringA(section, key, fallback, buffer, size, file);
    }
    uint32_t work_file_profile_string(const char* section, const char* key, const char* fallback,
                                      char* buffer, uint32_t size, const char* file) override {
        return win32::work_file_profile_string(section, key, fallback, buffer, size, file);
    }

    RegistryAnswer registry_value(const char* subkey, const char* name, char* data,
                                  uint32_t size) override {
        return win32::registry_value(subkey, name, data, size);
    }
    bool os_version(OsVersion* version) override { return win32::os_version(version); }
    Wow64Answer wow64_process(bool* is_wow64) override { return win32::wow64_process(is_wow64); }
    uint32_t environment_variable(const char* name, char* buffer, uint32_t size) override {
        return GetEnvironmentVariableA(name, buffer, size);
    }

    uint32_t module_file_name(char* buffer, uint32_t size) override {
        return win32::module_file_name(buffer, size);
    }
    const char* own_relative_path() override { return "ZOVTools\\installzova.exe"; }
    bool file_names_ignore_case() override { return true; }
    int start_process(const std::string& command_line, ProcessHandle* process) override {
        return win32::start_process(command_line, process);
    }
    int wait_process(const ProcessHandle& process) override { return win32::wait_process(process); }
    int wait_process_for(const ProcessHandle& process, unsigned milliseconds,
                         bool* ended) override {
        return win32::wait_process_for(process, milliseconds, ended);
    }
    bool process_exit_code(const ProcessHandle& process, uint32_t* code) override {
        return win32::process_exit_code(process, code);
    }
    void close_process(ProcessHandle* process) override { win32::close_process(process); }

    bool register_console_handler(ConsoleHandler handler, void* context) override {
        return win32::register_console_handler(handler, context);
    }
    void unregister_console_handler() override { win32::unregister_console_handler(); }
};

LocalTime Win32System::local_time() {
    SYSTEMTIME now;
    GetLocalTime(&now);
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

std::unique_ptr<System> make_system() {
    return std::unique_ptr<System>(new Win32System());
}

}  // namespace iz
