#include "installer/launcher.h"

#include <cstring>

#include "core/ascii.h"
#include "core/limits.h"
#include "core/run_state.h"
#include "core/status.h"
#include "core/windows_buffer.h"
#include "installer/installer_watch.h"
#include "messages/catalogue.h"
#include "messages/output.h"
#include "messages/text.h"
#include "platform/system.h"

namespace iz {

namespace {

int report_internal_error(RunState& state, int error, int code) {
    report(state, message_text(state, kMsgInternalError, error, code), kToConsole);
    return kStatusSetup;
}

bool same_name(RunState& state, const std::string& a, const char* b) {
    return state.sys.file_names_ignore_case() ? equals_ignore_case(a, b) : a == b;
}

int report_start_failure(RunState& state, const std::string& setup_path) {
    report(state, get_message(state, kMsgSetupMissing), kToConsole);
    trace(state, kCodeCreateProcess,
          format_text(state, "CreateProcess(%s) = %d", setup_path.c_str(), 0));
    return kStatusSetup;
}

// A setup.log left by an earlier run must go before the installer starts, or
// its result would be read as this run's.
int remove_stale_installer_log(RunState& state) {
    int error = state.sys.delete_file(state.paths.installer_log);
    if (error == 0 || error == state.sys.file_not_found_error()) {
        return kStatusOk;
    }
    report(state, message_text(state, kMsgFileIoError, error, kCodeStaleInstallerLog), kToConsole);
    return kStatusSetup;
}

// `own_path` less "ZOVTools", the separator and the program's file name as
// built, when it ends with exactly these after a separator (in either case
// where file names ignore case); otherwise empty.
std::string folder_above_own_place(RunState& state, const std::string& own_path) {
    // A copy of the program elsewhere must not start whatever Setup.exe lies
    // near it: the folder is taken only from the place the media give it.
    const char* place = state.sys.own_relative_path();
    size_t cut = std::strlen(place);
    if (own_path.size() <= cut ||
        own_path[own_path.size() - cut - 1] != state.sys.path_separator() ||
        !same_name(state, own_path.substr(own_path.size() - cut), place)) {
        return std::string();
    }
    return own_path.substr(0, own_path.size() - cut);
}

// The same blocked wait as the watch's, without following the run log.
int wait_without_watch(RunState& state, const ProcessHandle& process) {
    bool ended = false;
    int error = 0;
    while (error == 0 && !ended) {
        error = state.sys.wait_process_for(process, kFollowPeriodMs, &ended);
    }
    return error;
}

}  // namespace

bool setup_folder(RunState& state, std::string* folder) {
    const std::string& location = state.value(kInstallFileLocation);
    if (!location.empty()) {
        *folder = location;
        return true;
    }
    std::string own;
    int error = state.sys.module_file_name(&own);
    error = text_error(state.sys, error, own, kPathBufferSize);
    if (error != 0) {
        report_internal_error(state, error, kCodeOwnPath);
        return false;
    }
    *folder = folder_above_own_place(state, own);
    return true;
}

std::string setup_command_line(const std::string& setup_path, const std::string& response,
                               const std::string& installer_log, int check, int warned) {
    return "\"" + setup_path + "\" -s -f1\"" + response + "\" -f2\"" + installer_log +
           "\" /clone_wait " + (check != 0 ? "-silentcheck " : "-silent ") +
           (warned != 0 ? "-checkerror " : "");
}

int launch_setup(RunState& state, int check, int warned) {
    std::string folder;
    if (!setup_folder(state, &folder)) {
        return kStatusSetup;
    }
    if (folder.empty()) {
        return report_start_failure(state, folder);
    }
    const std::string setup_path = folder + state.sys.path_separator() + "Setup.exe";
    if (remove_stale_installer_log(state) != kStatusOk) {
        return kStatusSetup;
    }
    std::string command = setup_command_line(setup_path, state.paths.response,
                                             state.paths.installer_log, check, warned);
    ProcessHandle process;
    if (state.sys.start_process(command, &process) != 0) {
        return report_start_failure(state, setup_path);
    }
    int status = kStatusOk;
    uint32_t exit_code = 0;
    InstallerWatch* watch = state.watch.load();
    int error = watch != nullptr ? watch->wait(process) : wait_without_watch(state, process);
    if (error != 0) {
        status = report_internal_error(state, error, kCodeWait);
    } else {
        error = state.sys.process_exit_code(process, &exit_code);
        bool read = error == 0;
        trace(state, kCodeExitCode,
              format_text(state, "GetExitCodeProcess(%x) = %d", exit_code, read ? 1 : 0));
        if (!read) {
            status = report_internal_error(state, error, kCodeExitCodeFailed);
        } else {
            state.outcome.installer_exit_code = exit_code;
            state.outcome.installer_exited = true;
        }
    }
    state.sys.close_process(&process);
    return status;
}

}  // namespace iz
