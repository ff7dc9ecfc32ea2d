#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <fstream>

#include "emulation/copy_out.h"
#include "platform/posix/posix_system.h"

namespace iz {

namespace {

const char kDefaultRegistryRoot[] = "/etc/installzova/registry";

// HKEY_LOCAL_MACHINE as a folder tree: a key is a folder, a value a file.
std::string key_folder(const char* subkey) {
    const char* root = std::getenv("INSTALLZOVA_REGISTRY_ROOT");
    std::string folder = (root != nullptr && root[0] != '\0') ? root : kDefaultRegistryRoot;
    folder += '/';
    for (const char* p = subkey; *p != '\0'; ++p) {
        folder += (*p == '\\') ? '/' : *p;
    }
    return folder;
}

}  // namespace

RegistryAnswer PosixSystem::registry_value(const char* subkey, const char* name, char* data,
                                           uint32_t size) {
    std::string folder = key_folder(subkey);
    struct stat info;
    if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return RegistryAnswer::KeyMissing;
    }
    std::ifstream file(folder + "/" + name, std::ios::binary);
    if (!file) {
        return RegistryAnswer::ValueMissing;
    }
    // A few bytes beyond the size are enough to tell a value that does not fit.
    std::string bytes(static_cast<size_t>(size) + 3, '\0');
    file.read(&bytes[0], static_cast<std::streamsize>(bytes.size()));
    if (file.bad()) {
        return RegistryAnswer::ValueMissing;
    }
    bytes.resize(static_cast<size_t>(file.gcount()));
    bool more = file.peek() != std::ifstream::traits_type::eof();
    if (!more && !bytes.empty() && bytes.back() == '\n') {
        bytes.pop_back();
        if (!bytes.empty() && bytes.back() == '\r') {
            bytes.pop_back();
        }
    }
    if (more || bytes.size() + 1 > size) {
        return RegistryAnswer::ValueTooLarge;
    }
    std::memcpy(data, bytes.c_str(), bytes.size() + 1);
    return RegistryAnswer::Ok;
}

bool PosixSystem::registry_key_exists(const char* subkey) {
    struct stat info;
    return stat(key_folder(subkey).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

RegistryAnswer PosixSystem::registry_bytes(const char* subkey, const char* name,
                                           std::string* bytes) {
    const size_t kMostBytes = 64 * 1024;
    if (!registry_key_exists(subkey)) {
        return RegistryAnswer::KeyMissing;
    }
    std::ifstream file(key_folder(subkey) + "/" + name, std::ios::binary);
    if (!file) {
        return RegistryAnswer::ValueMissing;
    }
    bytes->assign(kMostBytes + 1, '\0');
    file.read(&(*bytes)[0], static_cast<std::streamsize>(bytes->size()));
    bytes->resize(static_cast<size_t>(file.gcount()));
    if (bytes->size() > kMostBytes) {
        bytes->resize(kMostBytes);
        return RegistryAnswer::ValueTooLarge;
    }
    // The same trailing line end as registry_value leaves out.
    if (!bytes->empty() && bytes->back() == '\n') {
        bytes->pop_back();
        if (!bytes->empty() && bytes->back() == '\r') {
            bytes->pop_back();
        }
    }
    return RegistryAnswer::Ok;
}

uint32_t PosixSystem::environment_variable(const char* name, char* buffer, uint32_t size) {
    const char* value = std::getenv(name);
    // Without the Windows variable the program-files folder of this platform
    // stands in; a variable that is set, even empty, is taken as it is.
    if (value == nullptr && std::strcmp(name, "ProgramFiles") == 0) {
        value = "/opt";
    }
    if (value == nullptr || value[0] == '\0') {
        return 0;
    }
    return copy_out(value, buffer, size);
}

}  // namespace iz
