#include "installer/launcher.h"

#include <cstring>
#include <vector>

#include "main/run_state.h"
#include "messages/catalogue.h"
#include "messages/output.h"
#include "messages/text.h"
#include "platform/system.h"

namespace iz {

namespace {

const uint32_t kOwnPathSize = 261;

// `error` is taken right after the call that failed: any later call, the
// trace's own file open included, may replace it.
int report_internal_error(RunState& state, int error, int code) {
    report(state, message_text(state, kMsgInternalError, error, code), 1);
    return 8;
}

}  // namespace

bool setup_folder(RunState& state, std::string* folder) {
    const std::string& location = state.value(kInstallFileLocation);
    if (!location.empty()) {
        *folder = location;
        return true;
    }
    std::vector<char> own(kOwnPathSize, '\0');
    uint32_t n = state.sys.module_file_name(own.data(), kOwnPathSize);
    if (n == 0 || n >= kOwnPathSize) {
        report_internal_error(state, state.sys.last_error(), kCodeOwnPath);
        return false;
    }
    // Only the count is cut, not a compared name. A path too short to hold the
    // program's place leaves no folder, and the start then fails plainly.
    size_t cut = std::strlen(state.sys.own_relative_path());
    *folder = n > cut ? std::string(own.data(), n - cut) : std::string();
    return true;
}

std::string setup_command_line(const std::string& setup_path, const std::string& response,
                               const std::string& installer_log, int check, int warned) {
    return "\"" + setup_path + "\" -s -f1\"" + response + "\" -f2\"" + installer_log +
           "\" /clone_wait " + (check == 1 ? "-silentcheck " : "-silent ") +
           (warned == 1 ? "-checkerror " : "");
}

int launch_setup(RunState& state, int check, int warned) {
    std::string folder;
    if (!setup_folder(state, &folder)) {
        return 8;
    }
    const std::string setup_path = folder + state.sys.path_separator() + "Setup.exe";
    state.sys.delete_file(state.paths.installer_log);
    std::string command = setup_command_line(setup_path, state.paths.response,
                                             state.paths.installer_log, check, warned);
    ProcessHandle process;
    if (state.sys.start_process(command, &process) != 0) {
        report(state, get_message(state, kMsgSetupMissing), 1);
        trace(state, kCodeCreateProcess,
              format_text(state, "CreateProcess(%s) = %d", setup_path.c_str(), 0));
        return 8;
    }
    int status = 0;
    uint32_t exit_code = 0;
    int error = state.sys.wait_process(process);
    if (error != 0) {
        status = report_internal_error(state, error, kCodeWait);
    } else {
        bool read = state.sys.process_exit_code(process, &exit_code);
        error = read ? 0 : state.sys.last_error();
        trace(state, kCodeExitCode,
              format_text(state, "GetExitCodeProcess(%x) = %d", exit_code, read ? 1 : 0));
        if (!read) {
            status = report_internal_error(state, error, kCodeExitCodeFailed);
        }
    }
    state.sys.close_process(&process);
    return status;
}

}  // namespace iz
