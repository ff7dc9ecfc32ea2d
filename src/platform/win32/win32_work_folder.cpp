// The work folder judged before any work file is made in it, and held open
// for the rest of the run. Only an administrator may change the entries of
// the folder or of a folder above it: no one but the user, Administrators,
// SYSTEM and TrustedInstaller (and CREATOR OWNER, which only reaches what a
// user created) may hold delete, delete-child, write-DAC or write-owner
// rights there, and one of them owns each folder, since an owner may always
// rewrite the folder's access list.
#include <aclapi.h>
#include <windows.h>

#include <string>
#include <vector>

#include "platform/win32/win32_system.h"

namespace iz {

namespace {

const char* const kCreatorOwner = "S-1-3-0";
const DWORD kChangeRights = DELETE | FILE_DELETE_CHILD | WRITE_DAC | WRITE_OWNER;

// The first entry that lets someone else change the folder's entries, as
// ERROR_ACCESS_DENIED. Entries that only pass down to what the folder holds
// (inherit-only) do not apply to the folder itself.
int access_refusal(PACL dacl, const std::string& user) {
    if (dacl == nullptr) {
        return ERROR_ACCESS_DENIED;  // no list at all: everyone may do anything
    }
    GENERIC_MAPPING mapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE,
                               FILE_ALL_ACCESS};
    for (DWORD index = 0; index < dacl->AceCount; ++index) {
        void* entry = nullptr;
        if (!GetAce(dacl, index, &entry)) {
            return win32::error_of_last_call();
        }
        ACE_HEADER* header = static_cast<ACE_HEADER*>(entry);
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE)) {
            continue;
        }
        ACCESS_ALLOWED_ACE* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
        ACCESS_MASK mask = allowed->Mask;
        MapGenericMask(&mask, &mapping);
        std::string sid = win32::sid_text(&allowed->SidStart);
        if ((mask & kChangeRights) != 0 && !win32::is_trusted_sid(sid, user, true) &&
            sid != kCreatorOwner) {
            return ERROR_ACCESS_DENIED;
        }
    }
    return 0;
}

int folder_refusal(const std::string& folder, const std::string& user) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    DWORD status = GetNamedSecurityInfoA(folder.c_str(), SE_FILE_OBJECT,
                                         OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                         &owner, nullptr, &dacl, nullptr, &descriptor);
    if (status != ERROR_SUCCESS) {
        return static_cast<int>(status);
    }
    int error = win32::is_trusted_sid(win32::sid_text(owner), user, true)
                    ? access_refusal(dacl, user)
                    : ERROR_INVALID_OWNER;
    LocalFree(descriptor);
    return error;
}

// The length of the root of a full path: "C:\" or "\\server\share\".
size_t root_length(const std::string& path) {
    if (path.size() >= 3 && path[1] == ':' && path[2] == '\\') {
        return 3;
    }
    size_t at = 2;
    for (int separators = 0; path.compare(0, 2, "\\\\") == 0 && separators < 2; ++separators) {
        at = path.find('\\', at);
        if (at == std::string::npos) {
            return path.size();
        }
        ++at;
    }
    return at <= path.size() ? at : path.size();
}

// The folder and each folder above it up to its root, by name.
std::vector<std::string> folder_chain(const std::string& folder) {
    char full[MAX_PATH] = "";
    DWORD n = GetFullPathNameA(folder.c_str(), sizeof full, full, nullptr);
    std::string path = (n > 0 && n < sizeof full) ? std::string(full, n) : folder;
    size_t root = root_length(path);
    while (path.size() > root && path.back() == '\\') {
        path.pop_back();
    }
    std::vector<std::string> chain{path};
    while (path.size() > root) {
        size_t cut = path.find_last_of('\\');
        path =
            (cut == std::string::npos || cut < root) ? path.substr(0, root) : path.substr(0, cut);
        chain.push_back(path);
    }
    return chain;
}

}  // namespace

// Held open without delete sharing, the folder can be neither renamed nor
// removed while the run uses it, so no other folder can take its name.
int Win32System::open_work_folder(const std::string& folder) {
    HANDLE held = CreateFileA(folder.c_str(), FILE_LIST_DIRECTORY | READ_CONTROL,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (held == INVALID_HANDLE_VALUE) {
        return win32::error_of_last_call();
    }
    std::string user = win32::token_user_text();
    int error = 0;
    for (const std::string& each : folder_chain(folder)) {
        error = error != 0 ? error : folder_refusal(each, user);
    }
    if (error != 0) {
        CloseHandle(held);
        return error;
    }
    if (work_folder_ != 0) {
        CloseHandle(reinterpret_cast<HANDLE>(work_folder_));
    }
    work_folder_ = reinterpret_cast<intptr_t>(held);
    return 0;
}

Win32System::~Win32System() {
    if (work_folder_ != 0) {
        CloseHandle(reinterpret_cast<HANDLE>(work_folder_));
    }
}

}  // namespace iz
