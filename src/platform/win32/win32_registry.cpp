#include <windows.h>

#include <algorithm>

#include "platform/win32/win32_system.h"

namespace iz {

namespace {

// Reads the whole value, growing the buffer while the value does not fit.
RegistryAnswer query_value(HKEY key, const std::string& name, std::string* value) {
    DWORD length = 0;
    LONG status = RegQueryValueExA(key, name.c_str(), nullptr, nullptr, nullptr, &length);
    while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
        std::string bytes(length, '\0');
        status = RegQueryValueExA(key, name.c_str(), nullptr, nullptr,
                                  reinterpret_cast<BYTE*>(&bytes[0]), &length);
        if (status == ERROR_SUCCESS) {
            bytes.resize(std::min<size_t>(length, bytes.size()));
            // A string stored with its terminator comes back with it.
            if (!bytes.empty() && bytes.back() == '\0') {
                bytes.pop_back();
            }
            *value = bytes;
            return RegistryAnswer::Ok;
        }
    }
    return RegistryAnswer::ValueMissing;
}

}  // namespace

RegistryAnswer Win32System::registry_value(const std::string& subkey, const std::string& name,
                                           std::string* value) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return RegistryAnswer::KeyMissing;
    }
    RegistryAnswer answer = query_value(key, name, value);
    RegCloseKey(key);
    return answer;
}

int Win32System::environment_variable(const std::string& name, std::string* value) {
    // An empty variable answers 0 without an error number of its own.
    SetLastError(ERROR_ENVVAR_NOT_FOUND);
    return win32::whole_text(
        [&](char* buffer, uint32_t size) {
            return GetEnvironmentVariableA(name.c_str(), buffer, size);
        },
        value);
}

}  // namespace iz
