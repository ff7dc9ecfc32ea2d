#include <errno.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

#include "platform/posix/posix_system.h"

namespace iz {

namespace {

const char kDefaultRegistryRoot[] = "/etc/installzova/registry";

// HKEY_LOCAL_MACHINE as a folder tree: a key is a folder, a value a file.
std::string key_folder(const std::string& subkey) {
    const char* root = std::getenv("INSTALLZOVA_REGISTRY_ROOT");
    std::string folder = (root != nullptr && root[0] != '\0') ? root : kDefaultRegistryRoot;
    folder += '/';
    for (char c : subkey) {
        folder += (c == '\\') ? '/' : c;
    }
    return folder;
}

}  // namespace

// No views here: the value is the same in both.
RegistryAnswer PosixSystem::registry_value(const std::string& subkey, const std::string& name,
                                           std::string* value) {
    return registry_bytes(subkey, name, value);
}

bool PosixSystem::registry_key_exists(const std::string& subkey) {
    struct stat info;
    return stat(key_folder(subkey).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

RegistryAnswer PosixSystem::registry_bytes(const std::string& subkey, const std::string& name,
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
    // A file's trailing line end is no part of the value.
    if (!bytes->empty() && bytes->back() == '\n') {
        bytes->pop_back();
        if (!bytes->empty() && bytes->back() == '\r') {
            bytes->pop_back();
        }
    }
    return RegistryAnswer::Ok;
}

int PosixSystem::environment_variable(const std::string& name, std::string* value) {
    const char* found = std::getenv(name.c_str());
    // Without the Windows variable the program-files folder of this platform
    // stands in; a variable that is set, even empty, is taken as it is.
    if (found == nullptr && name == "ProgramFiles") {
        found = "/opt";
    }
    if (found == nullptr || found[0] == '\0') {
        return ENOENT;
    }
    *value = found;
    return 0;
}

}  // namespace iz
