#include "support/fake_system.h"

#include <algorithm>
#include <cstring>

#include "platform/posix/ini_reader.h"

namespace iz {

namespace {

uint32_t copy_out(const std::string& text, char* buffer, uint32_t size) {
    if (text.size() + 1 > size) {
        return static_cast<uint32_t>(text.size() + 1);
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<uint32_t>(text.size());
}

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

int FakeSystem::user_language_name(char* buffer, int size) {
    if (language_name.empty() || static_cast<int>(language_name.size()) + 1 > size) {
        return 0;
    }
    std::memcpy(buffer, language_name.c_str(), language_name.size() + 1);
    return static_cast<int>(language_name.size()) + 1;
}

bool FakeSystem::is_lead_byte(unsigned char byte, bool japanese) {
    return (japanese || japanese_code_page) &&
           ((byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC));
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
    return files.erase(path) == 1 ? 0 : kFileNotFound;
}

std::unique_ptr<ReadableFile> FakeSystem::open_for_reading(const std::string& path) {
    auto found = files.find(path);
    if (found == files.end()) {
        return nullptr;
    }
    return std::unique_ptr<ReadableFile>(new StringFile(found->second));
}

bool FakeSystem::is_disk_file(const std::string& path) {
    return files.count(path) != 0;
}

uint32_t FakeSystem::full_path_name(const char* name, char* buffer, uint32_t size) {
    if (full_path_fails || name[0] == '\0') {
        return 0;
    }
    std::string path = name;
    bool absolute = path[0] == separator || (path.size() > 1 && path[1] == ':');
    return copy_out(absolute ? path : current_folder + separator + path, buffer, size);
}

uint32_t FakeSystem::file_attributes(const char* path) {
    if (folders.count(path) != 0) {
        return kFileAttributeDirectory;
    }
    if (files.count(path) != 0 || devices.count(path) != 0) {
        return 0x80;
    }
    return kInvalidFileAttributes;
}

uint32_t FakeSystem::temp_path(char* buffer, uint32_t size) {
    return temp_fails ? 0 : copy_out(temp_folder, buffer, size);
}

uint32_t FakeSystem::profile_string(const char* section, const char* key, const char* fallback,
                                    char* buffer, uint32_t size, const char* file) {
    auto found = files.find(file);
    const std::string* content = found == files.end() ? nullptr : &found->second;
    return ini_profile_string(content, folders.count(file) != 0, section, key, fallback, buffer,
                              size);
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
    auto key = registry.find(subkey);
    if (key == registry.end()) {
        return RegistryAnswer::KeyMissing;
    }
    auto value = key->second.find(name);
    if (value == key->second.end()) {
        return RegistryAnswer::ValueMissing;
    }
    if (value->second.size() + 1 > size) {
        return RegistryAnswer::ValueTooLarge;
    }
    std::memcpy(data, value->second.c_str(), value->second.size() + 1);
    return RegistryAnswer::Ok;
}

bool FakeSystem::os_version(OsVersion* out) {
    *out = version;
    return version_readable;
}

Wow64Answer FakeSystem::wow64_process(bool* is_wow64) {
    ++wow64_queries;
    *is_wow64 = wow64;
    return wow64_answer;
}

uint32_t FakeSystem::environment_variable(const char* name, char* buffer, uint32_t size) {
    auto found = environment.find(name);
    if (found == environment.end() || found->second.empty()) {
        return 0;
    }
    return copy_out(found->second, buffer, size);
}

uint32_t FakeSystem::module_file_name(char* buffer, uint32_t size) {
    if (module_path_fails) {
        return 0;
    }
    uint32_t n = copy_out(module_path, buffer, size);
    return n >= size ? 0 : n;
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
    return 0;
}

int FakeSystem::wait_process(const ProcessHandle&) {
    return wait_error;
}

bool FakeSystem::process_exit_code(const ProcessHandle&, uint32_t* code) {
    *code = exit_code;
    return exit_code_readable;
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

}  // namespace iz
