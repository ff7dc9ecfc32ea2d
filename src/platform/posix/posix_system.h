// The System of POSIX platforms: the Windows facilities the program needs,
// each by its POSIX equivalent. One concern a file defines its methods:
// posix_identity.cpp (token, language, version), posix_console.cpp (console,
// time, pause), posix_files.cpp, posix_registry.cpp (registry folder tree and
// environment), posix_process.cpp, posix_signals.cpp (console control) and posix_machine.cpp
// (one installation at a time).
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/system.h"

namespace iz {
namespace posix {

// Console control (posix_signals.cpp). A thread of its own waits for the
// console signals and calls the handler; stop() ends it and waits for a call
// in progress.
class ConsoleSignals {
  public:
    ~ConsoleSignals() { stop(); }
    bool start(ConsoleHandler handler, void* context);
    void stop();

  private:
    std::thread thread_;
    std::atomic<bool> stopping_{false};
};

// Console writes to a closed pipe fail instead of ending the process.
void ignore_broken_pipe();

// Adds 022 to the inherited umask, so that nothing this program or the
// installer creates is writable by group or others (posix_files.cpp).
void restrict_umask();

// The locale of `category` ("LC_MESSAGES", "LC_CTYPE") as the C library
// would choose it (LC_ALL, the category, LANG), or null (posix_identity.cpp).
const char* locale_of(const char* category);

// Whether a user or group counts as an administrator's (posix_identity.cpp):
// root, or a member of sudo, wheel or admin by the group database.
bool is_administrator_user(uint32_t uid);
bool is_administrator_group(uint32_t gid);

// The work folder once opened and judged (posix_work_folder.cpp). Work files
// directly inside it are reached relative to its descriptor.
class WorkFolder {
  public:
    ~WorkFolder();
    // Opens and judges `path`; returns 0 or the error number.
    int open(const std::string& path);
    // The descriptor to open `path` relative to, and the name to use there:
    // the folder's and the file's name for a path directly inside it, else
    // AT_FDCWD and the path itself.
    int locate(const std::string& path, std::string* name) const;

  private:
    int fd_ = -1;
    std::string path_;
};

}  // namespace posix

class PosixSystem : public System {
  public:
    PosixSystem();

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

    bool register_console_handler(ConsoleHandler handler, void* context) override;
    void unregister_console_handler() override;
    bool run_bounded(const std::function<void()>& work, unsigned milliseconds) override;

    // posix_machine.cpp
    MachineLock try_lock_machine(int64_t* holder, int* error) override;
    std::string installation_in_progress() override;
    int64_t monotonic_ms() override;
    bool registry_key_exists(const std::string& subkey) override;
    RegistryAnswer registry_bytes(const std::string& subkey, const std::string& name,
                                  std::string* bytes) override;
    const char* restart_marker() override;
    bool narrow_exit_status() override;

  private:
    // The machine lock's file, held open for the rest of the process.
    int machine_lock_fd_ = -1;
    posix::ConsoleSignals console_signals_;
    posix::WorkFolder work_folder_;
    // Wait statuses of reaped children, until their handle is closed.
    std::mutex mutex_;
    std::map<int64_t, int> wait_statuses_;
};

}  // namespace iz
