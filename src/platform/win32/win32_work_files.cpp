// Work files in a folder other users may write to (C:\Windows\Temp for
// SYSTEM): every decision is made on the handle that is then used. The handle
// is opened with FILE_FLAG_OPEN_REPARSE_POINT, so a link is opened as itself
// and recognised, and its owner is read from the handle, not from the name.
#include <aclapi.h>
#include <sddl.h>
#include <windows.h>

#include <initializer_list>
#include <vector>

#include "platform/win32/win32_system.h"

namespace iz {

namespace {

const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

const char kAdministrators[] = "S-1-5-32-544";
const char kLocalSystem[] = "S-1-5-18";
const char kTrustedInstaller[] = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

using Sid = std::vector<BYTE>;

Sid well_known_sid(SID_IDENTIFIER_AUTHORITY authority, std::initializer_list<DWORD> parts) {
    BYTE count = static_cast<BYTE>(parts.size());
    Sid sid(GetSidLengthRequired(count));
    InitializeSid(sid.data(), &authority, count);
    DWORD index = 0;
    for (DWORD part : parts) {
        *GetSidSubAuthority(sid.data(), index++) = part;
    }
    return sid;
}

Sid administrators_sid() {
    return well_known_sid(SECURITY_NT_AUTHORITY,
                          {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS});
}

Sid local_system_sid() {
    return well_known_sid(SECURITY_NT_AUTHORITY, {SECURITY_LOCAL_SYSTEM_RID});
}

bool token_user(Sid* sid) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return false;
    }
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> info(size > 0 ? size : 1);
    bool read = size > 0 && GetTokenInformation(token, TokenUser, info.data(), size, &size);
    CloseHandle(token);
    if (!read) {
        return false;
    }
    PSID user = reinterpret_cast<TOKEN_USER*>(info.data())->User.Sid;
    BYTE* bytes = static_cast<BYTE*>(user);
    sid->assign(bytes, bytes + GetLengthSid(user));
    return true;
}

}  // namespace

std::string win32::sid_text(void* sid) {
    char* text = nullptr;
    if (sid == nullptr || !ConvertSidToStringSidA(sid, &text)) {
        return std::string();
    }
    std::string result(text);
    LocalFree(text);
    return result;
}

// The process's user, the Administrators group (the owner Windows gives the
// files an administrator creates) and LocalSystem: any of them could replace
// the program itself. TrustedInstaller owns the system's own folders.
bool win32::is_trusted_sid(const std::string& sid, const std::string& user, bool installer_too) {
    return !sid.empty() && (sid == user || sid == kAdministrators || sid == kLocalSystem ||
                            (installer_too && sid == kTrustedInstaller));
}

int win32::owner_refusal(intptr_t handle) {
    HANDLE file = reinterpret_cast<HANDLE>(handle);
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    DWORD status = GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                                   nullptr, nullptr, nullptr, &descriptor);
    if (status != ERROR_SUCCESS) {
        return static_cast<int>(status);
    }
    bool own = is_trusted_sid(sid_text(owner), token_user_text(), false);
    LocalFree(descriptor);
    return own ? 0 : ERROR_INVALID_OWNER;
}

namespace {

int refusal(HANDLE file) {
    if (GetFileType(file) != FILE_TYPE_DISK) {
        return ERROR_BAD_FILE_TYPE;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file, &info)) {
        return win32::error_of_last_call();
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return ERROR_CANT_ACCESS_FILE;
    }
    if (info.nNumberOfLinks > 1) {
        return ERROR_TOO_MANY_LINKS;
    }
    return win32::owner_refusal(reinterpret_cast<intptr_t>(file));
}

// A file created here gets a protected DACL of its own instead of what the
// folder would hand down: full control for the user, the administrators and
// the system, reading for everyone else.
struct NewFileSecurity {
    std::vector<BYTE> acl;
    SECURITY_DESCRIPTOR descriptor;
    SECURITY_ATTRIBUTES attributes;
};

bool make_new_file_security(NewFileSecurity* security) {
    Sid user;
    if (!token_user(&user)) {
        return false;
    }
    const Sid writers[] = {user, administrators_sid(), local_system_sid()};
    const Sid everyone = well_known_sid(SECURITY_WORLD_SID_AUTHORITY, {SECURITY_WORLD_RID});
    DWORD size = sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + everyone.size();
    for (const Sid& sid : writers) {
        size += sizeof(ACCESS_ALLOWED_ACE) + sid.size();
    }
    security->acl.assign(size, 0);
    PACL acl = reinterpret_cast<PACL>(security->acl.data());
    bool made = InitializeAcl(acl, size, ACL_REVISION);
    for (const Sid& sid : writers) {
        made = made && AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS,
                                           const_cast<BYTE*>(sid.data()));
    }
    made =
        made &&
        AddAccessAllowedAce(acl, ACL_REVISION, FILE_GENERIC_READ,
                            const_cast<BYTE*>(everyone.data())) &&
        InitializeSecurityDescriptor(&security->descriptor, SECURITY_DESCRIPTOR_REVISION) &&
        SetSecurityDescriptorDacl(&security->descriptor, TRUE, acl, FALSE) &&
        SetSecurityDescriptorControl(&security->descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
    security->attributes.nLength = sizeof(SECURITY_ATTRIBUTES);
    security->attributes.lpSecurityDescriptor = &security->descriptor;
    security->attributes.bInheritHandle = FALSE;
    return made;
}

// Opens (OPEN_ALWAYS: or creates) the work file and keeps the handle only
// when it may be used. Returns 0 or the error number.
int open_work_file(const std::string& path, DWORD access, DWORD share, DWORD disposition,
                   HANDLE* file) {
    // Only a file that may be created needs its own security; the run log is
    // opened for reading many times a second while the installer runs.
    NewFileSecurity security;
    bool may_create = disposition != OPEN_EXISTING;
    if (may_create && !make_new_file_security(&security)) {
        return win32::error_of_last_call();
    }
    *file = CreateFileA(path.c_str(), access | READ_CONTROL, share,
                        may_create ? &security.attributes : nullptr, disposition,
                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (*file == INVALID_HANDLE_VALUE) {
        return win32::error_of_last_call();
    }
    int error = refusal(*file);
    if (error != 0) {
        CloseHandle(*file);
        *file = INVALID_HANDLE_VALUE;
    }
    return error;
}

// One WriteFile of every byte, then the close; the first failure wins.
int write_and_close(HANDLE file, const std::string& bytes) {
    DWORD count = static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    int error = 0;
    if (!WriteFile(file, bytes.data(), count, &written, nullptr)) {
        error = win32::error_of_last_call();
    } else if (written != count) {
        error = ERROR_WRITE_FAULT;
    }
    if (!CloseHandle(file) && error == 0) {
        error = win32::error_of_last_call();
    }
    return error;
}

}  // namespace

std::string win32::token_user_text() {
    Sid user;
    return token_user(&user) ? sid_text(user.data()) : std::string();
}

int Win32System::append_to_file(const std::string& path, const std::string& bytes) {
    // FILE_APPEND_DATA alone makes every write land at the end of the file,
    // even while the installer appends its own lines through another handle.
    HANDLE file = INVALID_HANDLE_VALUE;
    int error = open_work_file(path, FILE_APPEND_DATA, kShareAll, OPEN_ALWAYS, &file);
    return error != 0 ? error : write_and_close(file, bytes);
}

int Win32System::write_file(const std::string& path, const std::string& bytes) {
    // Emptied only once it passed the checks, so a refused file keeps its bytes.
    HANDLE file = INVALID_HANDLE_VALUE;
    int error = open_work_file(path, GENERIC_WRITE, FILE_SHARE_READ, OPEN_ALWAYS, &file);
    if (error != 0) {
        return error;
    }
    if (!SetEndOfFile(file)) {
        error = win32::error_of_last_call();
        CloseHandle(file);
        return error;
    }
    return write_and_close(file, bytes);
}

intptr_t win32::open_work_file_for_reading(const std::string& path) {
    // Every access shared: the installer may still be appending.
    HANDLE file = INVALID_HANDLE_VALUE;
    if (open_work_file(path, GENERIC_READ, kShareAll, OPEN_EXISTING, &file) != 0) {
        return 0;
    }
    return reinterpret_cast<intptr_t>(file);
}

// Held open without delete sharing, the folder can be neither renamed nor
// removed while the run uses it, so no other folder can take its name.
// The profile call answers a file it cannot open like an empty one: a file
// the user may not read, or one another program holds without read sharing.
int Win32System::open_settings_file(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return win32::error_of_last_call();
    }
    CloseHandle(file);
    return 0;
}

std::string Win32System::work_file_profile_string(const std::string& section,
                                                  const std::string& key,
                                                  const std::string& fallback,
                                                  const std::string& file) {
    // The handle shares reading only: while it is open the checked file can
    // be neither replaced, renamed nor written, so the profile call reads it.
    HANDLE held = INVALID_HANDLE_VALUE;
    if (open_work_file(file, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, &held) == 0) {
        std::string value = win32::whole_profile_string(section, key, fallback, file);
        CloseHandle(held);
        return value;
    }
    return fallback;  // answered as for a missing file
}

}  // namespace iz
