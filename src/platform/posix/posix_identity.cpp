#include <errno.h>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "core/ascii.h"
#include "core/code_page.h"
#include "platform/posix/posix_system.h"

namespace iz {

namespace {

const uint32_t kBuiltinDomain = 32;
const uint32_t kAdministratorsAlias = 544;
const uint32_t kGroupEnabled = 0x4;

bool is_admin_group_name(const char* name) {
    return std::strcmp(name, "sudo") == 0 || std::strcmp(name, "wheel") == 0 ||
           std::strcmp(name, "admin") == 0;
}

bool is_admin_group(gid_t gid) {
    struct group* entry = getgrgid(gid);
    return entry != nullptr && is_admin_group_name(entry->gr_name);
}

struct LanguageName {
    const char* code;
    const char* name;
};

const LanguageName kLanguages[] = {
    {"ar", "Arabic"},     {"bg", "Bulgarian"}, {"ca", "Catalan"},    {"cs", "Czech"},
    {"da", "Danish"},     {"de", "German"},    {"el", "Greek"},      {"en", "English"},
    {"es", "Spanish"},    {"et", "Estonian"},  {"fi", "Finnish"},    {"fr", "French"},
    {"he", "Hebrew"},     {"hi", "Hindi"},     {"hr", "Croatian"},   {"hu", "Hungarian"},
    {"id", "Indonesian"}, {"it", "Italian"},   {"ja", "Japanese"},   {"ko", "Korean"},
    {"lt", "Lithuanian"}, {"lv", "Latvian"},   {"nb", "Norwegian"},  {"nl", "Dutch"},
    {"no", "Norwegian"},  {"pl", "Polish"},    {"pt", "Portuguese"}, {"ro", "Romanian"},
    {"ru", "Russian"},    {"sk", "Slovak"},    {"sl", "Slovenian"},  {"sr", "Serbian"},
    {"sv", "Swedish"},    {"th", "Thai"},      {"tr", "Turkish"},    {"uk", "Ukrainian"},
    {"vi", "Vietnamese"}, {"zh", "Chinese"},
};

}  // namespace

namespace posix {

const char* locale_of(const char* category) {
    for (const char* name : {"LC_ALL", category, "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && value[0] != '\0') {
            return value;
        }
    }
    return nullptr;
}

bool is_administrator_group(uint32_t gid) {
    return gid == 0 || is_admin_group(static_cast<gid_t>(gid));
}

// Another user's groups come from the group database: the process's own
// groups say nothing about them.
bool is_administrator_user(uint32_t uid) {
    if (uid == 0) {
        return true;
    }
    struct passwd* user = getpwuid(static_cast<uid_t>(uid));
    if (user == nullptr) {
        return false;
    }
    int count = 64;
    std::vector<gid_t> ids(static_cast<size_t>(count));
    if (getgrouplist(user->pw_name, user->pw_gid, ids.data(), &count) < 0) {
        ids.resize(static_cast<size_t>(count));
        if (getgrouplist(user->pw_name, user->pw_gid, ids.data(), &count) < 0) {
            return false;
        }
    }
    ids.resize(static_cast<size_t>(count));
    for (gid_t id : ids) {
        if (is_admin_group(id)) {
            return true;
        }
    }
    return false;
}

}  // namespace posix

bool PosixSystem::token_groups(std::vector<TokenGroup>* groups) {
    groups->clear();
    // Root is the Administrators alias in force; a member of an administrators'
    // group is one whose membership is present but not elevated.
    if (geteuid() == 0) {
        groups->push_back(TokenGroup{{kBuiltinDomain, kAdministratorsAlias}, kGroupEnabled});
    }
    int count = getgroups(0, nullptr);
    if (count < 0) {
        return false;
    }
    std::vector<gid_t> ids(static_cast<size_t>(count) + 1);
    count = getgroups(count, ids.data());
    if (count < 0) {
        return false;
    }
    ids.resize(static_cast<size_t>(count));
    ids.push_back(getegid());
    for (gid_t id : ids) {
        if (is_admin_group(id)) {
            groups->push_back(TokenGroup{{kBuiltinDomain, kAdministratorsAlias}, 0});
        }
    }
    return true;
}

int PosixSystem::user_language_name(std::string* name) {
    const char* locale = posix::locale_of("LC_MESSAGES");
    if (locale == nullptr) {
        return ENOENT;
    }
    std::string code(locale, std::strcspn(locale, "_.@"));
    for (char& c : code) {
        c = ascii_lower(c);
    }
    for (const LanguageName& language : kLanguages) {
        if (code == language.code) {
            *name = language.name;
            return 0;
        }
    }
    return ENOENT;  // C, POSIX and unknown languages have no name: English then
}

bool PosixSystem::is_lead_byte(unsigned char byte, bool japanese) {
    // The Japanese texts are code page 932, whatever the terminal uses.
    return japanese && is_cp932_lead_byte(byte);
}

// No version gate and no WOW64 here: the answer of Windows 2000, on which
// nothing is looked up and "ProgramFiles" is taken.
int PosixSystem::os_version(OsVersion* version) {
    version->major = 5;
    version->minor = 0;
    return 0;
}

Wow64Answer PosixSystem::wow64_process(bool* is_wow64, int* error) {
    *is_wow64 = false;
    *error = 0;
    return Wow64Answer::Ok;
}

}  // namespace iz
