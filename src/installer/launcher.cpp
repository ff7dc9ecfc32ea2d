#include "installer/launcher.h"

#include <cstring>

#include "core/ascii.h"
#include "core/limits.h"
#include "core/windows_buffer.h"
#include "core/work_file_names.h"
#include "installer/installer_watch.h"
#include "installer/result_check.h"
#include "messages/catalogue.h"
#include "messages/output.h"
#include "messages/text.h"
#include "platform/system.h"
#include "settings/settings_table.h"

namespace iz {

namespace {

// `error` is taken right after the call that failed: any later call, the
// trace's own file open included, may replace it.
Status report_internal_error(Output& out, int error, int code) {
    report(out, message_text(out, kMsgInternalError, error, code), Sink::Console);
    return Status::Setup;
}

bool same_name(System& sys, const std::string& a, const char* b) {
    return sys.file_names_ignore_case() ? equals_ignore_case(a, b) : a == b;
}

Status report_start_failure(Output& out, const std::string& setup_path) {
    report(out, get_message(out, kMsgSetupMissing), Sink::Console);
    trace(out, kCodeCreateProcess,
          format_text(out, "CreateProcess(%s) = %d", setup_path.c_str(), 0));
    return Status::Setup;
}

// A setup.log left by an earlier run must go before the installer starts, or
// its result would be read as this run's.
Status remove_stale_installer_log(System& sys, Output& out, const std::string& installer_log) {
    int error = sys.delete_file(installer_log);
    if (error == 0 || error == sys.file_not_found_error()) {
        return Status::Ok;
    }
    report(out, message_text(out, kMsgFileIoError, error, kCodeStaleInstallerLog), Sink::Console);
    return Status::Setup;
}

// `own_path` less "ZOVTools", the separator and the program's file name as
// built, when it ends with exactly these after a separator (in either case
// where file names ignore case); otherwise empty.
std::string folder_above_own_place(System& sys, const std::string& own_path) {
    // A copy of the program elsewhere must not start whatever Setup.exe lies
    // near it: the folder is taken only from the place the media give it.
    const char* place = sys.own_relative_path();
    size_t cut = std::strlen(place);
    if (own_path.size() <= cut || own_path[own_path.size() - cut - 1] != sys.path_separator() ||
        !same_name(sys, own_path.substr(own_path.size() - cut), place)) {
        return std::string();
    }
    return own_path.substr(0, own_path.size() - cut);
}

}  // namespace

bool setup_folder(System& sys, Output& out, const std::string& installfile_location,
                  std::string* folder) {
    if (!installfile_location.empty()) {
        *folder = installfile_location;
        return true;
    }
    std::string own;
    int error = sys.module_file_name(&own);
    error = text_error(sys, error, own, kPathBufferSize);
    if (error != 0) {
        report_internal_error(out, error, kCodeOwnPath);
        return false;
    }
    *folder = folder_above_own_place(sys, own);
    return true;
}

std::string setup_command_line(const std::string& setup_path, const std::string& response,
                               const std::string& installer_log, bool check, bool warned) {
    return "\"" + setup_path + "\" -s -f1\"" + response + "\" -f2\"" + installer_log +
           "\" /clone_wait " + (check ? "-silentcheck " : "-silent ") +
           (warned ? "-checkerror " : "");
}

Status launch_setup(System& sys, Output& out, const Settings& settings, const WorkPaths& paths,
                    InstallerWatch& watch, InstallerOutcome* outcome, bool check, bool warned) {
    std::string folder;
    if (!setup_folder(sys, out, settings.value(kInstallFileLocation), &folder)) {
        return Status::Setup;
    }
    if (folder.empty()) {
        return report_start_failure(out, folder);
    }
    const std::string setup_path = folder + sys.path_separator() + "Setup.exe";
    if (remove_stale_installer_log(sys, out, paths.installer_log) != Status::Ok) {
        return Status::Setup;
    }
    std::string command =
        setup_command_line(setup_path, paths.response, paths.installer_log, check, warned);
    ProcessHandle process;
    if (sys.start_process(command, &process) != 0) {
        return report_start_failure(out, setup_path);
    }
    Status status = Status::Ok;
    uint32_t exit_code = 0;
    int error = watch.wait(process, settings.program.silence_notice_seconds);
    if (error != 0) {
        status = report_internal_error(out, error, kCodeWait);
    } else {
        error = sys.process_exit_code(process, &exit_code);
        bool read = error == 0;
        trace(out, kCodeExitCode,
              format_text(out, "GetExitCodeProcess(%x) = %d", exit_code, read ? 1 : 0));
        if (!read) {
            status = report_internal_error(out, error, kCodeExitCodeFailed);
        } else {
            outcome->exit_code = exit_code;
            outcome->exited = true;
        }
    }
    sys.close_process(&process);
    return status;
}

}  // namespace iz
