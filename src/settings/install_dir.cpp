#include "settings/install_dir.h"

#include <vector>

#include "messages/catalogue.h"
#include "messages/output.h"
#include "platform/system.h"

namespace iz {

namespace {

Status fail(System& sys, Output& out, int code) {
    int error = sys.last_error();
    report(out, message_text(out, kMsgInternalError, error, code), Sink::Console);
    return Status::NoDefault;
}

bool is_accepted_version(const OsVersion& v) {
    return (v.major == 5 && (v.minor == 0 || v.minor == 2)) ||
           (v.major == 6 && (v.minor == 0 || v.minor == 1));
}

// The WOW64 flag, or the location code of the failed query (0 for none).
int wow64_flag(System& sys, const OsVersion& version, bool* flag) {
    *flag = false;
    if (version.major == 5 && version.minor == 0) {
        return 0;  // Windows 2000 knows no WOW64
    }
    switch (sys.wow64_process(flag)) {
        case Wow64Answer::NoModule:
            return kCodeNoKernel32;
        case Wow64Answer::NoFunction:
            return kCodeNoWow64Function;
        case Wow64Answer::CallFailed:
            return kCodeWow64Failed;
        case Wow64Answer::Ok:
            break;
    }
    return 0;
}

}  // namespace

Status default_install_dir(System& sys, Output& out, std::string* folder, uint32_t size) {
    OsVersion version;
    if (!sys.os_version(&version)) {
        return fail(sys, out, kCodeVersionUnreadable);
    }
    if (!is_accepted_version(version)) {
        return fail(sys, out, kCodeVersionUnsupported);
    }
    bool is_wow64 = false;
    int code = wow64_flag(sys, version, &is_wow64);
    if (code != 0) {
        return fail(sys, out, code);
    }
    const char sep = sys.path_separator();
    const std::string suffix = std::string(1, sep) + "KESTRON" + sep + "PathSentryMultiway";
    // The room for the variable leaves exactly enough for the suffix.
    const uint32_t room = size - static_cast<uint32_t>(suffix.size());
    std::vector<char> buffer(room, '\0');
    const char* name = is_wow64 ? "ProgramFiles(x86)" : "ProgramFiles";
    uint32_t n = sys.environment_variable(name, buffer.data(), room);
    if (n == 0 || n > room) {
        return fail(sys, out, kCodeProgramFiles);
    }
    std::string result(buffer.data(), n < size - 1 ? n : size - 1);
    result += suffix.substr(0, size - 1 - result.size());
    *folder = result;
    return Status::Ok;
}

}  // namespace iz
