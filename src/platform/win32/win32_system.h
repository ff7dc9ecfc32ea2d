// The System of Windows: each facility is the Win32 call the core was written
// against. One concern a file defines its methods: win32_identity.cpp (token,
// language, version, WOW64), win32_console.cpp (console, time, pause, console
// control), win32_files.cpp, win32_work_files.cpp (the checked work files),
// win32_work_folder.cpp (the work folder judged and held),
// win32_registry.cpp (registry and environment), win32_process.cpp and
// win32_machine.cpp (one installation at a time).
// Nothing here needs <windows.h>: handles travel as the integers of
// ProcessHandle.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/system.h"

namespace iz {
namespace win32 {

// GetLastError of the call that just failed; never 0, so it reads as a failure
// (win32_files.cpp).
int error_of_last_call();

// The whole text of a call that answers like GetFullPathNameA: its length
// when the text fits in the `size` bytes at `buffer`, else the size needed,
// 0 on failure. Returns 0 or the error number (win32_files.cpp).
int whole_text(const std::function<uint32_t(char* buffer, uint32_t size)>& call, std::string* text);

// GetPrivateProfileStringA's value, whole (win32_files.cpp).
std::string whole_profile_string(const std::string& section, const std::string& key,
                                 const std::string& fallback, const std::string& file);

// The handle of a work file opened for reading, or 0 when it cannot be opened
// or may not be trusted (win32_work_files.cpp).
intptr_t open_work_file_for_reading(const std::string& path);

// The process's user as the text of its security identifier ("S-1-5-21-..."),
// or the empty string when the token cannot be read (win32_work_files.cpp).
std::string token_user_text();

// The text of a security identifier ("S-1-5-32-544"), or the empty string
// when it cannot be had (win32_work_files.cpp).
std::string sid_text(void* sid);

// Whether `sid` (as text) is one the program trusts with what it uses: the
// process's user `user`, the Administrators group or LocalSystem, and, with
// `installer_too`, TrustedInstaller (win32_work_files.cpp).
bool is_trusted_sid(const std::string& sid, const std::string& user, bool installer_too);

// 0 when a trusted identifier (without TrustedInstaller) owns the open file
// or folder, else the error number saying why not (win32_work_files.cpp).
int owner_refusal(intptr_t handle);

}  // namespace win32

class Win32System : public System {
  public:
    Win32System() = default;
    ~Win32System() override;
    Win32System(const Win32System&) = delete;
    Win32System& operator=(const Win32System&) = delete;

    bool token_groups(std::vector<TokenGroup>* groups) override;
    int user_language_name(std::string* name) override;
    bool is_lead_byte(unsigned char byte, bool japanese) override;

    void write_console(const char* bytes, size_t count) override;
    LocalTime local_time() override;
    LocalTime utc_time() override;
    void sleep_ms(unsigned milliseconds) override;

    int name_too_long_error() override;
    int invalid_name_error() override;
    char path_separator() override;
    // Each writer returns 0 or the GetLastError value taken right after the
    // call that failed.
    int append_to_file(const std::string& path, const std::string& bytes) override;
    int write_file(const std::string& path, const std::string& bytes) override;
    int delete_file(const std::string& path) override;
    int file_not_found_error() override;
    std::unique_ptr<ReadableFile> open_for_reading(const std::string& path) override;
    int open_work_folder(const std::string& folder) override;
    int open_settings_file(const std::string& path) override;
    int64_t file_size(const std::string& path) override;
    bool is_disk_file(const std::string& path) override;
    int full_path_name(const std::string& name, std::string* full) override;
    uint32_t file_attributes(const std::string& path) override;
    int temp_path(std::string* folder) override;
    std::string profile_string(const std::string& section, const std::string& key,
                               const std::string& fallback, const std::string& file) override;
    std::string work_file_profile_string(const std::string& section, const std::string& key,
                                         const std::string& fallback,
                                         const std::string& file) override;

    std::string to_utf8(const std::string& text) override;

    RegistryAnswer registry_value(const std::string& subkey, const std::string& name,
                                  std::string* value) override;
    int os_version(OsVersion* version) override;
    Wow64Answer wow64_process(bool* is_wow64, int* error) override;
    int environment_variable(const std::string& name, std::string* value) override;

    int module_file_name(std::string* path) override;
    const char* own_relative_path() override;
    bool file_names_ignore_case() override;
    int start_process(const std::string& command_line, ProcessHandle* process) override;
    int wait_process_for(const ProcessHandle& process, unsigned milliseconds, bool* ended) override;
    int process_exit_code(const ProcessHandle& process, uint32_t* code) override;
    void close_process(ProcessHandle* process) override;

    // The handler runs on a thread of the system's; unregistering waits for a
    // call in progress.
    bool register_console_handler(ConsoleHandler handler, void* context) override;
    void unregister_console_handler() override;
    bool run_bounded(const std::function<void()>& work, unsigned milliseconds) override;

    // win32_machine.cpp
    MachineLock try_lock_machine(int64_t* holder, int* error) override;
    std::string installation_in_progress() override;
    int64_t monotonic_ms() override;
    bool registry_key_exists(const std::string& subkey) override;
    RegistryAnswer registry_bytes(const std::string& subkey, const std::string& name,
                                  std::string* bytes) override;
    const char* restart_marker() override;
    bool narrow_exit_status() override;

  private:
    // The work folder, held open until the program ends (win32_work_files.cpp).
    intptr_t work_folder_ = 0;
    // The machine lock's file, held open for the rest of the process.
    intptr_t machine_lock_ = 0;
};

}  // namespace iz
