#include "settings/install_dir.h"

#include "core/windows_buffer.h"
#include "messages/catalogue.h"
#include "messages/output.h"
#include "platform/system.h"

namespace iz {

namespace {

Status fail(Output& out, int error, int code) {
    report(out, message_text(out, kMsgInternalError, error, code), Sink::Console);
    return Status::NoDefault;
}

bool is_accepted_version(const OsVersion& v) {
    return (v.major == 5 && (v.minor == 0 || v.minor == 2)) ||
           (v.major == 6 && (v.minor == 0 || v.minor == 1));
}

// The WOW64 flag, or the location code of the failed query (0 for none) and
// its error number.
int wow64_flag(System& sys, const OsVersion& version, bool* flag, int* error) {
    *flag = false;
    if (version.major == 5 && version.minor == 0) {
        return 0;  // Windows 2000 knows no WOW64
    }
    switch (sys.wow64_process(flag, error)) {
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
    int error = sys.os_version(&version);
    if (error != 0) {
        return fail(out, error, kCodeVersionUnreadable);
    }
    if (!is_accepted_version(version)) {
        return fail(out, 0, kCodeVersionUnsupported);  // no call failed
    }
    bool is_wow64 = false;
    int code = wow64_flag(sys, version, &is_wow64, &error);
    if (code != 0) {
        return fail(out, error, code);
    }
    const char sep = sys.path_separator();
    const std::string suffix = std::string(1, sep) + "KESTRON" + sep + "PathSentryMultiway";
    // The room for the variable leaves exactly enough for the suffix.
    const uint32_t room = size - static_cast<uint32_t>(suffix.size());
    std::string program_files;
    error =
        sys.environment_variable(is_wow64 ? "ProgramFiles(x86)" : "ProgramFiles", &program_files);
    error = text_error(sys, error, program_files, room);
    if (error != 0) {
        return fail(out, error, kCodeProgramFiles);
    }
    *folder = program_files + suffix;
    return Status::Ok;
}

}  // namespace iz
