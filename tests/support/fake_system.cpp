#include "support/fake_system.h"

#include <algorithm>
#include <cstring>

#include "emulation/copy_out.h"
#include "emulation/ini_reader.h"

namespace iz {

namespace {

class StringFile : public ReadableFile {
  public:
    explicit StringFile(const std::string& bytes) : bytes_(bytes) {}
    int64_t size() override { return static_cast<int64_t>(bytes_.size()); }
    int64_t read_at(int64_t offset, char* buffer, int64_t count) override {
        if (offset >= size()) {
            return 0;
        }
        int64_t n = std::min(count, size() - offset);
        std::memcpy(buffer, bytes_.data() + offset, static_cast<size_t>(n));
        return n;
    }

  private:
    std::string bytes_;
};

}  // namespace

TokenGroup administrators_group() {
    return TokenGroup{{32, 544}, 0x7};
}

bool FakeSystem::token_groups(std::vector<TokenGroup>* out) {
    *out = groups;
    return answer(token_readable, !token_readable, error);
}

int FakeSystem::user_language_name(char* buffer, int size) {
    if (language_name.empty() || static_cast<int>(language_name.size()) + 1 > size) {
        return answer(0, true, error);
    }
    std::memcpy(buffer, language_name.c_str(), language_name.size() + 1);
    return answer(static_cast<int>(language_name.size()) + 1, false, 0);
}

bool FakeSystem::is_lead_byte(unsigned char byte, bool japanese) {
    return (japanese || japanese_code_page) &&
           ((byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC));
}

void FakeSystem::write_console(const char* bytes, size_t count) {
    console.append(bytes, count);
    answer(0, false, 0);
}

int FakeSystem::append_to_file(const std::string& path, const std::string& bytes) {
    if (refused.count(path) != 0) {
        return answer(refused[path], true, refused[path]);
    }
    if (read_only.count(path) != 0 || folders.count(path) != 0) {
        return answer(kAccessDenied, true, kAccessDenied);
    }
    files[path] += bytes;
    return answer(0, false, 0);
}

int FakeSystem::write_file(const std::string& path, const std::string& bytes) {
    if (refused.count(path) != 0) {
        return answer(refused[path], true, refused[path]);
    }
    if (read_only.count(path) != 0 || folders.count(path) != 0) {
        return answer(kAccessDenied, true, kAccessDenied);
    }
    files[path] = bytes;
    return answer(0, false, 0);
}

int FakeSystem::delete_file(const std::string& path) {
    if (undeletable.count(path) != 0) {
        return answer(undeletable[path], true, undeletable[path]);
    }
    int result = folders.count(path) != 0 ? kAccessDenied
                 : files.erase(path) == 1 ? 0
                                          : kFileNotFound;
    return answer(result, result != 0, result);
}

std::unique_ptr<ReadableFile> FakeSystem::open_for_reading(const std::string& path) {
    if (refused.count(path) != 0) {
        answer(0, true, refused[path]);
        return nullptr;
    }
    auto found = files.find(path);
    if (found == files.end()) {
        answer(0, true, kFileNotFound);
        return nullptr;
    }
    answer(0, false, 0);
    return std::unique_ptr<ReadableFile>(new StringFile(found->second));
}

int64_t FakeSystem::file_size(const std::string& path) {
    auto found = files.find(path);
    bool missing = found == files.end();
    return answer(missing ? -1 : static_cast<int64_t>(found->second.size()), missing,
                  kFileNotFound);
}

int FakeSystem::open_work_folder(const std::string& folder) {
    work_folders_opened.push_back(folder);
    int result = unsafe_folders.count(folder) != 0 ? unsafe_folders[folder] : 0;
    return answer(result, result != 0, result);
}

int FakeSystem::open_settings_file(const std::string& path) {
    int result = unreadable.count(path) != 0 ? unreadable[path]
                 : files.count(path) != 0    ? 0
                                             : kFileNotFound;
    return answer(result, result != 0, result);
}

bool FakeSystem::is_disk_file(const std::string& path) {
    bool found = files.count(path) != 0;
    return answer(found, !found, kFileNotFound);
}

uint32_t FakeSystem::full_path_name(const char* name, char* buffer, uint32_t size) {
    if (full_path_fails || name[0] == '\0') {
        return answer(0u, true, error);
    }
    std::string path = name;
    bool absolute = path[0] == separator || (path.size() > 1 && path[1] == ':');
    uint32_t n = copy_out(absolute ? path : current_folder + separator + path, buffer, size);
    return answer(n, n >= size, kNameTooLong);
}

uint32_t FakeSystem::file_attributes(const char* path) {
    if (folders.count(path) != 0) {
        return answer(kFileAttributeDirectory, false, 0);
    }
    if (files.count(path) != 0 || devices.count(path) != 0) {
        return answer(0x80u, false, 0);
    }
    return answer(kInvalidFileAttributes, true, kFileNotFound);
}

uint32_t FakeSystem::temp_path(char* buffer, uint32_t size) {
    return temp_fails ? answer(0u, true, error)
                      : answer(copy_out(temp_folder, buffer, size), false, 0);
}

uint32_t FakeSystem::profile_string(const char* section, const char* key, const char* fallback,
                                    char* buffer, uint32_t size, const char* file) {
    auto found = files.find(file);
    const std::string* content = found == files.end() ? nullptr : &found->second;
    return answer(
        ini_profile_string(content, folders.count(file) != 0, section, key, fallback, buffer, size),
        false, 0);
}

uint32_t FakeSystem::work_file_profile_string(const char* section, const char* key,
                                              const char* fallback, char* buffer, uint32_t size,
                                              const char* file) {
    if (refused.count(file) != 0) {
        return ini_profile_string(nullptr, false, section, key, fallback, buffer, size);
    }
    return profile_string(section, key, fallback, buffer, size, file);
}

RegistryAnswer FakeSystem::registry_value(const char* subkey, const char* name, char* data,
                                          uint32_t size) {
    RegistryAnswer result = registry_answer(subkey, name, data, size);
    return answer(result, result != RegistryAnswer::Ok, kFileNotFound);
}

RegistryAnswer FakeSystem::registry_answer(const char* subkey, const char* name, char* data,
                                           uint32_t size) {
    std::string bytes;
    RegistryAnswer found = registry_bytes(subkey, name, &bytes);
    if (found != RegistryAnswer::Ok) {
        return found;
    }
    if (bytes.size() + 1 > size) {
        return RegistryAnswer::ValueTooLarge;
    }
    std::memcpy(data, bytes.c_str(), bytes.size() + 1);
    return RegistryAnswer::Ok;
}

bool FakeSystem::os_version(OsVersion* out) {
    *out = version;
    return answer(version_readable, !version_readable, error);
}

Wow64Answer FakeSystem::wow64_process(bool* is_wow64) {
    ++wow64_queries;
    *is_wow64 = wow64;
    return answer(wow64_answer, wow64_answer != Wow64Answer::Ok, error);
}

uint32_t FakeSystem::environment_variable(const char* name, char* buffer, uint32_t size) {
    auto found = environment.find(name);
    if (found == environment.end() || found->second.empty()) {
        return answer(0u, true, error);
    }
    uint32_t n = copy_out(found->second, buffer, size);
    return answer(n, n >= size, error);
}

uint32_t FakeSystem::module_file_name(char* buffer, uint32_t size) {
    if (module_path_fails) {
        return answer(0u, true, error);
    }
    uint32_t n = copy_out(module_path, buffer, size);
    return n >= size ? answer(0u, true, error) : answer(n, false, 0);
}

int FakeSystem::start_process(const std::string& command_line, ProcessHandle* process) {
    command_lines.push_back(command_line);
    if (start_error != 0) {
        return answer(start_error, true, start_error);
    }
    if (installer) {
        installer(command_line);
    }
    process->process = 1;
    process->thread = 2;
    process->id = 4242;
    return answer(0, false, 0);
}

int FakeSystem::wait_process(const ProcessHandle&) {
    return answer(wait_error, wait_error != 0, wait_error);
}

int FakeSystem::wait_process_for(const ProcessHandle& process, unsigned milliseconds, bool* ended) {
    *ended = timed_waits++ >= running_waits;
    if (!*ended) {
        clock_ms += milliseconds;
    }
    if (!*ended && while_running) {
        while_running();
    }
    return *ended ? wait_process(process) : answer(0, false, 0);
}

bool FakeSystem::process_exit_code(const ProcessHandle&, uint32_t* code) {
    *code = exit_code;
    return answer(exit_code_readable, !exit_code_readable, error);
}

void FakeSystem::close_process(ProcessHandle* process) {
    ++closed_processes;
    process->process = 0;
    answer(0, false, 0);
}

bool FakeSystem::register_console_handler(ConsoleHandler h, void* context) {
    handler = h;
    handler_context = context;
    return answer(true, false, 0);
}

void FakeSystem::unregister_console_handler() {
    if (handler != nullptr && event_at_unregister >= 0) {
        fire(event_at_unregister);
    }
    handler = nullptr;
    handler_context = nullptr;
    answer(0, false, 0);
}

MachineLock FakeSystem::try_lock_machine(int64_t* holder, int* error) {
    size_t index = static_cast<size_t>(lock_tries++);
    MachineLock result = index < lock_answers.size() ? lock_answers[index] : MachineLock::Taken;
    *holder = result == MachineLock::Busy ? lock_holder : 0;
    *error = result == MachineLock::Taken ? 0 : lock_error;
    return result;
}

std::string FakeSystem::installation_in_progress() {
    size_t index = static_cast<size_t>(installation_looks++);
    return index < installations.size() ? installations[index] : std::string();
}

RegistryAnswer FakeSystem::registry_bytes(const char* subkey, const char* name,
                                          std::string* bytes) {
    auto key = registry.find(subkey);
    if (key == registry.end()) {
        return RegistryAnswer::KeyMissing;
    }
    auto value = key->second.find(name);
    if (value == key->second.end()) {
        return RegistryAnswer::ValueMissing;
    }
    *bytes = value->second;
    return RegistryAnswer::Ok;
}

std::string FakeSystem::to_utf8(const std::string& text) {
    std::string out;
    for (char c : text) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (byte >> 6));
            out += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return out;
}

}  // namespace iz
