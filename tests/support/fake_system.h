// A System whose every answer is staged as data: an in-memory file system, a
// registry map, a version record, token groups, environment variables and a
// scripted installer. It behaves like Windows (backslash paths, Windows error
// numbers) unless a test says otherwise.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/system.h"

namespace iz {

class FakeSystem : public System {
  public:
    // Windows error numbers the fake reports.
    static const int kFileNotFound = 2;
    static const int kPathNotFound = 3;
    static const int kAccessDenied = 5;
    static const int kInvalidName = 123;
    static const int kNameTooLong = 206;

    // --- staged answers ---
    bool token_readable = true;
    std::vector<TokenGroup> groups;
    std::string language_name;        // empty: the query fails
    bool japanese_code_page = false;  // lead bytes are code page 932 when true
    LocalTime time{2026, 12, 8, 5, 14, 6};
    LocalTime utc{2026, 12, 7, 20, 14, 6};
    // The error number of a call that fails without one of its own; never 0,
    // which would read as success (ERROR_GEN_FAILURE unless a test says).
    int error = 31;
    char separator = '\\';
    std::string own_relative = "ZOVTools\\installzova.exe";
    bool names_ignore_case = true;
    std::string current_folder = "C:\\work";

    std::map<std::string, std::string> files;
    std::set<std::string> folders;
    std::set<std::string> devices;    // exist, but are no disk files
    std::set<std::string> read_only;  // cannot be created, written or appended to
    // Work files the real platform refuses (a link, another user's file),
    // with the error number it gives; nothing is written to them, and read
    // as a work file they count as missing.
    std::map<std::string, int> refused;
    std::map<std::string, int> undeletable;  // delete_file fails with the number
    // Settings files that exist but cannot be opened for reading, with the
    // error number; work folders the platform refuses, with the number.
    std::map<std::string, int> unreadable;
    std::map<std::string, int> unsafe_folders;
    bool full_path_fails = false;
    std::string temp_folder = "C:\\Temp\\";
    bool temp_fails = false;

    // Registry: key -> value name -> bytes. A key without values is present.
    std::map<std::string, std::map<std::string, std::string>> registry;
    bool version_readable = true;
    OsVersion version{6, 1};
    Wow64Answer wow64_answer = Wow64Answer::Ok;
    bool wow64 = false;
    int wow64_queries = 0;
    std::map<std::string, std::string> environment;

    std::string module_path = "D:\\media\\ZOVTools\\installzova.exe";
    bool module_path_fails = false;
    int start_error = 0;  // non-zero: the start fails with it
    int wait_error = 0;
    bool exit_code_readable = true;
    uint32_t exit_code = 0;
    // Runs in place of the installer when a process is started.
    std::function<void(const std::string& command_line)> installer;
    // Timed waits that run out before the installer ends; each calls
    // `while_running` first, in which a test may append to the run log.
    int running_waits = 0;
    std::function<void()> while_running;
    int timed_waits = 0;

    // Machine lock: answers of successive tries, Taken once they run out.
    std::vector<MachineLock> lock_answers;
    int64_t lock_holder = 0;
    int lock_error = 0;
    // Other installations in progress seen by successive looks, none once
    // they run out.
    std::vector<std::string> installations;
    std::string restart_marker_path;  // empty: none on this platform
    bool narrow_exit = false;
    // The monotonic clock; pauses and timed waits move it by their length.
    int64_t clock_ms = 1000;

    // --- what the program did ---
    int lock_tries = 0;
    int installation_looks = 0;
    std::string console;
    std::vector<std::string> command_lines;
    std::vector<std::string> work_folders_opened;
    std::vector<unsigned> sleeps;
    int closed_processes = 0;
    ConsoleHandler handler = nullptr;
    void* handler_context = nullptr;
    // Delivered just before the handler is unregistered, when set.
    std::optional<ConsoleEvent> event_at_unregister;

    // Delivers a console event to the registered handler.
    bool fire(ConsoleEvent event) { return handler(event, handler_context); }

    // --- System ---
    bool token_groups(std::vector<TokenGroup>* out) override;
    int user_language_name(std::string* name) override;
    bool is_lead_byte(unsigned char byte, bool japanese) override;
    void write_console(const char* bytes, size_t count) override;
    LocalTime local_time() override { return time; }
    LocalTime utc_time() override { return utc; }
    // The fake's code page is Latin-1: each byte is the code point.
    std::string to_utf8(const std::string& text) override;
    void sleep_ms(unsigned milliseconds) override {
        sleeps.push_back(milliseconds);
        clock_ms += milliseconds;
    }
    int name_too_long_error() override { return kNameTooLong; }
    int invalid_name_error() override { return kInvalidName; }
    char path_separator() override { return separator; }
    int append_to_file(const std::string& path, const std::string& bytes) override;
    int write_file(const std::string& path, const std::string& bytes) override;
    int delete_file(const std::string& path) override;
    int file_not_found_error() override { return kFileNotFound; }
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
    RegistryAnswer registry_value(const std::string& subkey, const std::string& name,
                                  std::string* value) override;
    int os_version(OsVersion* out) override;
    Wow64Answer wow64_process(bool* is_wow64, int* failure) override;
    int environment_variable(const std::string& name, std::string* value) override;
    int module_file_name(std::string* path) override;
    const char* own_relative_path() override { return own_relative.c_str(); }
    bool file_names_ignore_case() override { return names_ignore_case; }
    int start_process(const std::string& command_line, ProcessHandle* process) override;
    int wait_process_for(const ProcessHandle& process, unsigned milliseconds, bool* ended) override;
    int process_exit_code(const ProcessHandle& process, uint32_t* code) override;
    void close_process(ProcessHandle* process) override;
    bool register_console_handler(ConsoleHandler h, void* context) override;
    void unregister_console_handler() override;
    // The fake's console never blocks: the work runs to its end at once, so
    // no test depends on how soon a thread is scheduled.
    bool run_bounded(const std::function<void()>& work, unsigned) override {
        work();
        return true;
    }
    MachineLock try_lock_machine(int64_t* holder, int* error) override;
    std::string installation_in_progress() override;
    int64_t monotonic_ms() override { return clock_ms; }
    bool registry_key_exists(const std::string& subkey) override {
        return registry.count(subkey) != 0;
    }
    RegistryAnswer registry_bytes(const std::string& subkey, const std::string& name,
                                  std::string* bytes) override;
    bool narrow_exit_status() override { return narrow_exit; }
    const char* restart_marker() override {
        return restart_marker_path.empty() ? nullptr : restart_marker_path.c_str();
    }
};

// An administrator's token: the built-in Administrators alias S-1-5-32-544.
TokenGroup administrators_group();

}  // namespace iz
