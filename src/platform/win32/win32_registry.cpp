#include <windows.h>

#include <cstring>
#include <new>

#include "platform/win32/win32_system.h"

namespace iz {

namespace {

// Reads the value into `bytes` (zeroed, `size` long) and classifies the
// answer; `bytes` then holds a terminated text when the answer is Ok.
RegistryAnswer query_value(HKEY key, const char* name, char* bytes, uint32_t size) {
    DWORD length = size;
    LONG status =
        RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(bytes), &length);
    if (status == ERROR_MORE_DATA) {
        return RegistryAnswer::ValueTooLarge;
    }
    if (status != ERROR_SUCCESS) {
        return RegistryAnswer::ValueMissing;
    }
    // A string stored without its terminator comes back without one.
    if (std::memchr(bytes, '\0', size) == nullptr) {
        return RegistryAnswer::ValueTooLarge;
    }
    return RegistryAnswer::Ok;
}

}  // namespace

RegistryAnswer Win32System::registry_value(const char* subkey, const char* name, char* data,
                                           uint32_t size) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return RegistryAnswer::KeyMissing;
    }
    // A private buffer, so that `data` is untouched unless the whole value fits.
    char* bytes = new (std::nothrow) char[size]();
    RegistryAnswer answer = RegistryAnswer::ValueMissing;
    if (bytes != nullptr) {
        answer = query_value(key, name, bytes, size);
        if (answer == RegistryAnswer::Ok) {
            std::memcpy(data, bytes, std::strlen(bytes) + 1);
        }
        delete[] bytes;
    }
    RegCloseKey(key);
    return answer;
}

uint32_t Win32System::environment_variable(const char* name, char* buffer, uint32_t size) {
    return GetEnvironmentVariableA(name, buffer, size);
}

}  // namespace iz
