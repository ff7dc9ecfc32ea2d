// The pieces of the POSIX System, one concern a file; system_posix.cpp binds
// them to the interface.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/system.h"

namespace iz {
namespace posix {

// Identity and language (posix_identity.cpp).
bool token_groups(std::vector<TokenGroup>* groups);
int user_language_name(char* buffer, int size);
// The locale the user's messages follow, as the C library would choose it
// (LC_ALL, LC_MESSAGES, LANG), or null.
const char* user_locale();

// Files (posix_files.cpp).
int append_to_file(const std::string& path, const std::string& bytes);
int write_file(const std::string& path, const std::string& bytes);
uint32_t work_file_profile_string(const char* section, const char* key, const char* fallback,
                                  char* buffer, uint32_t size, const char* file);
std::unique_ptr<ReadableFile> open_for_reading(const std::string& path);
bool is_disk_file(const std::string& path);
uint32_t full_path_name(const char* name, char* buffer, uint32_t size);
uint32_t file_attributes(const char* path);
uint32_t temp_path(char* buffer, uint32_t size);
// Copies `text` as a Windows call returns a string: its length when it fits
// with its terminator, else the size needed (nothing is copied then).
uint32_t copy_out(const std::string& text, char* buffer, uint32_t size);

// Registry folder tree and environment (posix_registry.cpp).
RegistryAnswer registry_value(const char* subkey, const char* name, char* data, uint32_t size);
uint32_t environment_variable(const char* name, char* buffer, uint32_t size);

// Processes (posix_process.cpp).
uint32_t module_file_name(char* buffer, uint32_t size);
int start_process(const std::string& command_line, ProcessHandle* process);
// Waits and returns 0 with the raw wait status, or the error number.
int wait_process(int64_t pid, int* wait_status);
// The same, at most `milliseconds`: `ended` says whether it has ended.
int wait_process_for(int64_t pid, unsigned milliseconds, int* wait_status, bool* ended);
uint32_t exit_code_from_wait_status(int wait_status);

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

}  // namespace posix
}  // namespace iz
