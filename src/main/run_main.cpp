#include "main/run_main.h"

#include "core/ascii.h"
#include "core/run_state.h"
#include "installer/installer_watch.h"
#include "installer/launcher.h"
#include "installer/machine_checks.h"
#include "installer/options_file.h"
#include "installer/response_file.h"
#include "installer/result_check.h"
#include "main/administrator.h"
#include "main/console_control.h"
#include "main/result_record.h"
#include "main/run_record.h"
#include "messages/catalogue.h"
#include "messages/output.h"
#include "messages/text.h"
#include "settings/load_settings.h"

namespace iz {

namespace {

bool is_switch(const char* argument, const char* name) {
    return equals_ignore_case(argument, name);
}

RunMode parameter_error(RunState& state, MessageId id) {
    report(state, get_message(state, id), kToConsole);
    return kModeParameterError;
}

RunMode bad_value(RunState& state, const char* argument) {
    report(state, message_text(state, kMsgBadParameter, argument), kToConsole);
    return kModeParameterError;
}

}  // namespace

RunMode parse_arguments(RunState& state, int argc, const char* const* argv) {
    switch (argc) {
        case 0:
        case 1:
            return parameter_error(state, kMsgNoParameter);
        case 2:
            if (is_switch(argv[1], "-h")) {
                return kModeHelp;
            }
            if (is_switch(argv[1], "-f")) {
                return parameter_error(state, kMsgNoSettingsFile);
            }
            return bad_value(state, argv[1]);
        case 3:
            if (is_switch(argv[1], "-f")) {
                return kModeInstall;
            }
            return bad_value(state, argv[1]);
        case 4:
            if (is_switch(argv[1], "-f") && is_switch(argv[3], "-c")) {
                return kModeCheck;
            }
            if (is_switch(argv[1], "-f") && is_switch(argv[3], "-t")) {
                return kModeOptionsOnly;
            }
            return parameter_error(state, kMsgTooManyParameters);
        default:
            return parameter_error(state, kMsgTooManyParameters);
    }
}

void build_work_paths(RunState& state) {
    const std::string& folder = state.value(kWorkDir);
    const std::string separator(1, state.sys.path_separator());
    state.paths.run_log = folder + separator + kRunLogName;
    state.paths.response = folder + separator + kResponseName;
    state.paths.installer_log = folder + separator + kInstallerLogName;
    state.paths.options = folder + separator + kOptionsName;
    state.paths.result_record = folder + separator + kResultRecordName;
}

int open_work_folder(RunState& state) {
    int error = state.sys.open_work_folder(state.value(kWorkDir));
    if (error != 0) {
        report(state, message_text(state, kMsgFileIoError, error, kCodeWorkFolder), kToConsole);
        return kStatusWorkFolder;
    }
    return kStatusOk;
}

// Once the settings name a work folder: judges it, takes the machine and
// begins the run's record, in that order, so that nothing is written in a
// folder others may change or while another run owns the machine.
int claim_work_folder(RunState& state, int mode) {
    if (state.settings_full_path.empty() || state.value(kWorkDir).empty()) {
        return kStatusOk;
    }
    build_work_paths(state);
    int status = open_work_folder(state);
    if (status == kStatusOk) {
        status = take_machine(state);
    }
    if (status == kStatusOk) {
        status = begin_run_record(state, mode);
    }
    return status;
}

int run_install(RunState& state, const std::string& settings_file, int check) {
    int warned = 0;
    int status = load_settings(state, settings_file, &warned);
    int claimed = claim_work_folder(state, check != 0 ? kModeCheck : kModeInstall);
    if (status != kStatusOk) {
        return status;
    }
    if (claimed != kStatusOk) {
        return claimed;
    }
    register_console_control(state);
    status = prepare_machine(state);
    if (status != kStatusOk) {
        return status;
    }
    if (write_response_file(state) != kStatusOk) {
        return kStatusResponseFile;
    }
    if (check == 0 && write_options_file(state) != kStatusOk) {
        return kStatusOptionsFile;
    }
    state.outcome.run_log_size_before = state.sys.file_size(state.paths.run_log);
    if (state.outcome.run_log_size_before < 0) {
        state.outcome.run_log_size_before = 0;  // a new run log
    }
    if (open_run_log(state, state.paths.run_log, check, warned) != kStatusOk) {
        return kStatusRunLog;
    }
    trace_settings(state, check);
    report_machine_state(state);
    status = launch_setup(state, check, warned);
    if (status != kStatusOk) {
        return status;
    }
    int completed = 0;
    replay_installer_log(state, &completed);
    state.outcome.completed = completed != 0;
    // An installation the installer reports as failed must not end as a
    // success: unattended deployments go by the exit code alone.
    if (check_setup_result(state, completed) != kStatusOk) {
        return kStatusInstallerFailed;
    }
    return kStatusOk;
}

int run_options_only(RunState& state, const std::string& settings_file) {
    int warned = 0;
    int status = load_settings(state, settings_file, &warned);
    int claimed = claim_work_folder(state, kModeOptionsOnly);
    if (claimed != kStatusOk) {
        return claimed;
    }
    if (warned != 0) {
        return kStatusWarnings;
    }
    if (status != kStatusOk) {
        return status;
    }
    return write_options_file(state) == kStatusOk ? kStatusOk : kStatusOptionsFile;
}

int prepare_machine(RunState& state) {
    int status = wait_for_other_installation(state);
    if (status == kStatusOk) {
        find_pending_restart(state);
        status = stop_for_pending_restart(state);
    }
    return status;
}

int exit_code_for(int status, bool narrow) {
    switch (status) {
        case kStatusOk:
            return kExitOk;
        case kStatusParameterError:
            return kExitParameterError;
        case kStatusBusy:
            return narrow ? kExitBusyNarrow : kExitBusy;
        case kStatusRestartPending:
            return narrow ? kExitRestartPendingNarrow : kExitRestartPending;
        default:
            return kExitFailed;
    }
}

int run_main(System& sys, int argc, const char* const* argv) {
    RunState state(sys);
    InstallerWatch watch(state);
    if (is_administrator(sys) != 0) {
        report_message(state, kMsgNoPermission);
        return kExitNotAdministrator;
    }
    int status = kStatusParameterError;
    switch (parse_arguments(state, argc, argv)) {
        case kModeHelp:
            report(state, get_message(state, kMsgUsage), kToConsole);
            status = kStatusOk;
            break;
        case kModeInstall:
            status = run_install(state, argv[2], 0);
            break;
        case kModeCheck:
            status = run_install(state, argv[2], 1);
            break;
        case kModeOptionsOnly:
            status = run_options_only(state, argv[2]);
            break;
        case kModeParameterError:
            break;
    }
    // The handler uses the state, which ends with this function.
    unregister_console_control(state);
    return finish_run_record(state, exit_code_for(status, sys.narrow_exit_status()));
}

}  // namespace iz
