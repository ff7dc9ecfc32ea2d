// The pieces of the Win32 System, one concern a file; system_win32.cpp binds
// them to the interface. Nothing here needs <windows.h>: handles travel as the
// integers of ProcessHandle.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/system.h"

namespace iz {
namespace win32 {

// Identity, language and system queries (win32_identity.cpp).
bool token_groups(std::vector<TokenGroup>* groups);
int user_language_name(char* buffer, int size);
bool os_version(OsVersion* version);
Wow64Answer wow64_process(bool* is_wow64);

// Files (win32_files.cpp). Each returns 0 or the GetLastError value taken
// right after the call that failed.
std::unique_ptr<ReadableFile> open_for_reading(const std::string& path);
bool is_disk_file(const std::string& path);
// GetLastError of the call that just failed; never 0, so it reads as a failure.
int error_of_last_call();

// Work files (win32_work_files.cpp): decided on the open handle.
int append_to_file(const std::string& path, const std::string& bytes);
int write_file(const std::string& path, const std::string& bytes);
uint32_t work_file_profile_string(const char* section, const char* key, const char* fallback,
                                  char* buffer, uint32_t size, const char* file);
// The handle of a work file opened for reading, or 0 when it cannot be opened
// or may not be trusted.
intptr_t open_work_file_for_reading(const std::string& path);

// Registry (win32_registry.cpp).
RegistryAnswer registry_value(const char* subkey, const char* name, char* data, uint32_t size);

// Processes (win32_process.cpp).
uint32_t module_file_name(char* buffer, uint32_t size);
int start_process(const std::string& command_line, ProcessHandle* process);
int wait_process(const ProcessHandle& process);
int wait_process_for(const ProcessHandle& process, unsigned milliseconds, bool* ended);
bool process_exit_code(const ProcessHandle& process, uint32_t* code);
void close_process(ProcessHandle* process);

// Console control (win32_console.cpp). The handler runs on a thread of the
// system's; unregistering waits for a call in progress.
bool register_console_handler(ConsoleHandler handler, void* context);
void unregister_console_handler();

}  // namespace win32
}  // namespace iz
