#include "support/fake_system.h"

#include <algorithm>
#include <cstring>

#include "core/code_page.h"
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
    return token_readable;
}

int FakeSystem::user_language_name(std::string* name) {
    if (language_name.empty()) {
        return error;
    }
    *name = language_name;
    return 0;
}

bool FakeSystem::is_lead_byte(unsigned char byte, bool japanese) {
    return (japanese || japanese_code_page) && is_cp932_lead_byte(byte);
}

void FakeSystem::write_console(const char* bytes, size_t count) {
    console.append(bytes, count);
}

int FakeSystem::append_to_file(const std::string& path, const std::string& bytes) {
    if (refused.count(path) != 0) {
        return refused[path];
    }
    if (read_only.count(path) != 0 || folders.count(path) != 0) {
        return kAccessDenied;
    }
    files[path] += bytes;
    return 0;
}

int FakeSystem::write_file(const std::string& path, const std::string& bytes) {
    if (refused.count(path) != 0) {
        return refused[path];
    }
    if (read_only.count(path) != 0 || folders.count(path) != 0) {
        return kAccessDenied;
    }
    files[path] = bytes;
    return 0;
}

int FakeSystem::delete_file(const std::string& path) {
    if (undeletable.count(path) != 0) {
        return undeletable[path];
    }
    return folders.count(path) != 0 ? kAccessDenied : files.erase(path) == 1 ? 0 : kFileNotFound;
}

std::unique_ptr<ReadableFile> FakeSystem::open_for_reading(const std::string& path) {
    auto found = files.find(path);
    if (refused.count(path) != 0 || found == files.end()) {
        return nullptr;
    }
    return std::unique_ptr<ReadableFile>(new StringFile(found->second));
}

int64_t FakeSystem::file_size(const std::string& path) {
    auto found = files.find(path);
    return found == files.end() ? -1 : static_cast<int64_t>(found->second.size());
}

int FakeSystem::open_work_folder(const std::string& folder) {
    work_folders_opened.push_back(folder);
    return unsafe_folders.count(folder) != 0 ? unsafe_folders[folder] : 0;
}

int FakeSystem::open_settings_file(const std::string& path) {
    return unreadable.count(path) != 0 ? unreadable[path]
           : files.count(path) != 0    ? 0
                                       : kFileNotFound;
}

bool FakeSystem::is_disk_file(const std::string& path) {
    return files.count(path) != 0;
}

int FakeSystem::full_path_name(const std::string& name, std::string* full) {
    if (full_path_fails || name.empty()) {
        return error;
    }
    bool absolute = name[0] == separator || (name.size() > 1 && name[1] == ':');
    *full = absolute ? name : current_folder + separator + name;
    return 0;
}

uint32_t FakeSystem::file_attributes(const std::string& path) {
    if (folders.count(path) != 0) {
        return kFileAttributeDirectory;
    }
    if (files.count(path) != 0 || devices.count(path) != 0) {
        return 0x80u;
    }
    return kInvalidFileAttributes;
}

int FakeSystem::temp_path(std::string* folder) {
    if (temp_fails) {
        return error;
    }
    *folder = temp_folder;
    return 0;
}

std::string FakeSystem::profile_string(const std::string& section, const std::string& key,
                                       const std::string& fallback, const std::string& file) {
    auto found = files.find(file);
    const std::string* content = found == files.end() ? nullptr : &found->second;
    return ini_profile_value(content, folders.count(file) != 0, section, key, fallback);
}

std::string FakeSystem::work_file_profile_string(const std::string& section, const std::string& key,
                                                 const std::string& fallback,
                                                 const std::string& file) {
    if (refused.count(file) != 0) {
        return ini_profile_value(nullptr, false, section, key, fallback);
    }
    return profile_string(section, key, fallback, file);
}

RegistryAnswer FakeSystem::registry_value(const std::string& subkey, const std::string& name,
                                          std::string* value) {
    return registry_bytes(subkey, name, value);
}

int FakeSystem::os_version(OsVersion* out) {
    *out = version;
    return version_readable ? 0 : error;
}

Wow64Answer FakeSystem::wow64_process(bool* is_wow64, int* failure) {
    ++wow64_queries;
    *is_wow64 = wow64;
    *failure = wow64_answer == Wow64Answer::Ok ? 0 : error;
    return wow64_answer;
}

int FakeSystem::environment_variable(const std::string& name, std::string* value) {
    auto found = environment.find(name);
    if (found == environment.end() || found->second.empty()) {
        return error;
    }
    *value = found->second;
    return 0;
}

int FakeSystem::module_file_name(std::string* path) {
    if (module_path_fails) {
        return error;
    }
    *path = module_path;
    return 0;
}

int FakeSystem::start_process(const std::string& command_line, ProcessHandle* process) {
    command_lines.push_back(command_line);
    if (start_error != 0) {
        return start_error;
    }
    if (installer) {
        installer(command_line);
    }
    process->process = 1;
    process->thread = 2;
    process->id = 4242;
    return 0;
}

int FakeSystem::wait_process_for(const ProcessHandle&, unsigned milliseconds, bool* ended) {
    *ended = timed_waits++ >= running_waits;
    if (!*ended) {
        clock_ms += milliseconds;
    }
    if (!*ended && while_running) {
        while_running();
    }
    return *ended ? wait_error : 0;
}

int FakeSystem::process_exit_code(const ProcessHandle&, uint32_t* code) {
    *code = exit_code;
    return exit_code_readable ? 0 : error;
}

void FakeSystem::close_process(ProcessHandle* process) {
    ++closed_processes;
    process->process = 0;
}

bool FakeSystem::register_console_handler(ConsoleHandler h, void* context) {
    handler = h;
    handler_context = context;
    return true;
}

void FakeSystem::unregister_console_handler() {
    if (handler != nullptr && event_at_unregister) {
        fire(*event_at_unregister);
    }
    handler = nullptr;
    handler_context = nullptr;
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

RegistryAnswer FakeSystem::registry_bytes(const std::string& subkey, const std::string& name,
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
