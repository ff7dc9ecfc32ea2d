#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "platform/win32/win32_system.h"

namespace iz {

namespace {

// Small enough that any real token's group list overflows it, so the first
// query reports the size the list needs.
const DWORD kProbeSize = 12;

using IsWow64ProcessCall = BOOL(WINAPI*)(HANDLE, PBOOL);

TokenGroup group_of(const SID_AND_ATTRIBUTES& entry) {
    TokenGroup group;
    group.attributes = entry.Attributes;
    DWORD count = *GetSidSubAuthorityCount(entry.Sid);
    for (DWORD i = 0; i < count; ++i) {
        group.sub_authorities.push_back(*GetSidSubAuthority(entry.Sid, i));
    }
    return group;
}

// The group list is a variable-length record: the probe learns its size,
// then a buffer of exactly that size takes it.
bool read_groups(HANDLE token, std::vector<TokenGroup>* groups) {
    unsigned char probe[kProbeSize];
    DWORD needed = 0;
    GetTokenInformation(token, TokenGroups, probe, kProbeSize, &needed);
    if (needed == 0) {
        return false;
    }
    void* buffer = std::malloc(needed);
    if (buffer == nullptr) {
        return false;
    }
    if (!GetTokenInformation(token, TokenGroups, buffer, needed, &needed)) {
        std::free(buffer);
        return false;
    }
    const TOKEN_GROUPS* list = static_cast<const TOKEN_GROUPS*>(buffer);
    const SID_AND_ATTRIBUTES* entries = list->Groups;
    for (DWORD i = 0; i < list->GroupCount; ++i) {
        groups->push_back(group_of(entries[i]));
    }
    std::free(buffer);
    return true;
}

}  // namespace

bool Win32System::token_groups(std::vector<TokenGroup>* groups) {
    groups->clear();
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return false;
    }
    bool read = read_groups(token, groups);
    CloseHandle(token);
    return read;
}

int Win32System::user_language_name(std::string* name) {
    const LCID user = GetUserDefaultLCID();
    // The first call answers the size needed, terminator included.
    int size = GetLocaleInfoA(user, LOCALE_SENGLANGUAGE, nullptr, 0);
    if (size <= 0) {
        return win32::error_of_last_call();
    }
    std::string buffer(static_cast<size_t>(size), '\0');
    if (GetLocaleInfoA(user, LOCALE_SENGLANGUAGE, &buffer[0], size) <= 0) {
        return win32::error_of_last_call();
    }
    *name = buffer.c_str();
    return 0;
}

int Win32System::os_version(OsVersion* version) {
    OSVERSIONINFOEXA info;
    std::memset(&info, 0, sizeof(info));
    info.dwOSVersionInfoSize = sizeof(info);
    if (!GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&info))) {
        return win32::error_of_last_call();
    }
    version->major = info.dwMajorVersion;
    version->minor = info.dwMinorVersion;
    return 0;
}

namespace {

// The answer of the lookup and the call; GetLastError tells why one failed.
Wow64Answer ask_wow64(bool* is_wow64) {
    // Looked up at run time: versions before XP SP2 do not export it.
    HMODULE kernel = GetModuleHandleA("Kernel32.dll");
    if (kernel == nullptr) {
        return Wow64Answer::NoModule;
    }
    FARPROC address = GetProcAddress(kernel, "IsWow64Process");
    if (address == nullptr) {
        return Wow64Answer::NoFunction;
    }
    // void (*)(void) converts to any function pointer type without a warning.
    auto call = reinterpret_cast<IsWow64ProcessCall>(reinterpret_cast<void (*)(void)>(address));
    BOOL answer = FALSE;
    if (!call(GetCurrentProcess(), &answer)) {
        return Wow64Answer::CallFailed;
    }
    *is_wow64 = answer != FALSE;
    return Wow64Answer::Ok;
}

}  // namespace

Wow64Answer Win32System::wow64_process(bool* is_wow64, int* error) {
    Wow64Answer answer = ask_wow64(is_wow64);
    *error = answer == Wow64Answer::Ok ? 0 : win32::error_of_last_call();
    return answer;
}

// The ANSI code page decides, whatever the language of the run.
bool Win32System::is_lead_byte(unsigned char byte, bool /*japanese*/) {
    return IsDBCSLeadByte(byte) != FALSE;
}

}  // namespace iz
