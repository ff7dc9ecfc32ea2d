// One installation at a time on Windows: the machine lock of installzova
// runs, the Windows Installer's mutex, a monotonic clock and the registry of
// the machine's own view.
#include <windows.h>
// After windows.h, whose types these headers use.
#include <sddl.h>
#include <shlobj.h>

#include <cstdlib>
#include <string>

#include "platform/win32/win32_system.h"

namespace iz {

namespace {

// Full control for Administrators and SYSTEM, nothing for anyone else, not
// inherited from the folder above: no other user can create, open or hold
// the lock file, nor plant one in its place.
const char kLockFolderSecurity[] = "D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)";
const DWORD kMostValueBytes = 64 * 1024;

// INSTALLZOVA_LOCK_FOLDER names another folder (tests); otherwise
// installzova's folder in the common application data folder.
std::string lock_folder() {
    char chosen[MAX_PATH] = "";
    DWORD n = GetEnvironmentVariableA("INSTALLZOVA_LOCK_FOLDER", chosen, sizeof chosen);
    if (n > 0 && n < sizeof chosen) {
        return chosen;
    }
    char common[MAX_PATH] = "";
    if (SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, common) != S_OK) {
        return std::string();
    }
    return std::string(common) + "\\installzova";
}

// A folder another user made or owns could hold a lock file of theirs, which
// would keep every run waiting: such a folder is refused.
DWORD folder_refusal(const std::string& folder) {
    HANDLE handle = CreateFileA(
        folder.c_str(), READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return GetLastError();
    }
    BY_HANDLE_FILE_INFORMATION info;
    DWORD refusal = 0;
    if (!GetFileInformationByHandle(handle, &info)) {
        refusal = GetLastError();
    } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        refusal = ERROR_CANT_ACCESS_FILE;
    } else {
        refusal = static_cast<DWORD>(win32::owner_refusal(reinterpret_cast<intptr_t>(handle)));
    }
    CloseHandle(handle);
    return refusal;
}

// The handle is inheritable, so that the installer holds the lock too; the
// file is opened without sharing, so that a second holder is refused.
HANDLE open_lock_file(const std::string& folder, DWORD* error) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(kLockFolderSecurity, SDDL_REVISION_1,
                                                              &descriptor, nullptr)) {
        *error = GetLastError();
        return INVALID_HANDLE_VALUE;
    }
    SECURITY_ATTRIBUTES attributes = {sizeof(SECURITY_ATTRIBUTES), descriptor, TRUE};
    // An existing folder keeps its own security, and must be owned by an
    // administrator, the system or this user.
    CreateDirectoryA(folder.c_str(), &attributes);
    *error = folder_refusal(folder);
    if (*error != 0) {
        LocalFree(descriptor);
        return INVALID_HANDLE_VALUE;
    }
    std::string path = folder + "\\installzova.lock";
    HANDLE file =
        CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, &attributes, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    *error = file == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    LocalFree(descriptor);
    return file;
}

}  // namespace

MachineLock Win32System::try_lock_machine(int64_t* holder, int* error) {
    *holder = 0;  // a file nobody else may open cannot name its holder
    *error = 0;
    if (machine_lock_ != 0) {
        return MachineLock::Taken;
    }
    std::string folder = lock_folder();
    if (folder.empty()) {
        *error = ERROR_PATH_NOT_FOUND;
        return MachineLock::Failed;
    }
    DWORD failure = 0;
    HANDLE file = open_lock_file(folder, &failure);
    if (file == INVALID_HANDLE_VALUE) {
        *error = static_cast<int>(failure);
        return failure == ERROR_SHARING_VIOLATION ? MachineLock::Busy : MachineLock::Failed;
    }
    machine_lock_ = reinterpret_cast<intptr_t>(file);
    return MachineLock::Taken;
}

std::string Win32System::installation_in_progress() {
    HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, "Global\\_MSIExecute");
    if (mutex == nullptr) {
        return std::string();
    }
    // Owned for a moment when free, and given back at once: the installer
    // may need it.
    DWORD result = WaitForSingleObject(mutex, 0);
    if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) {
        ReleaseMutex(mutex);
    }
    CloseHandle(mutex);
    return result == WAIT_TIMEOUT ? "Windows Installer" : std::string();
}

int64_t Win32System::monotonic_ms() {
    return static_cast<int64_t>(GetTickCount64());
}

bool Win32System::registry_key_exists(const std::string& subkey) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key) !=
        ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

RegistryAnswer Win32System::registry_bytes(const std::string& subkey, const std::string& name,
                                           std::string* bytes) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key) !=
        ERROR_SUCCESS) {
        return RegistryAnswer::KeyMissing;
    }
    bytes->assign(kMostValueBytes, '\0');
    DWORD length = kMostValueBytes;
    LONG status = RegQueryValueExA(key, name.c_str(), nullptr, nullptr,
                                   reinterpret_cast<BYTE*>(&(*bytes)[0]), &length);
    RegCloseKey(key);
    if (status == ERROR_MORE_DATA) {
        return RegistryAnswer::ValueTooLarge;
    }
    if (status != ERROR_SUCCESS) {
        bytes->clear();
        return RegistryAnswer::ValueMissing;
    }
    bytes->resize(length);
    return RegistryAnswer::Ok;
}

bool Win32System::narrow_exit_status() {
    return false;
}

const char* Win32System::restart_marker() {
    return nullptr;
}

}  // namespace iz
