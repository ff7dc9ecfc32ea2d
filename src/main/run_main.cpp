#include "main/run_main.h"

#include "core/ascii.h"
#include "core/work_file_names.h"
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

RunMode parameter_error(Output& out, MessageId id) {
    report(out, get_message(out, id), Sink::Console);
    return RunMode::ParameterError;
}

RunMode bad_value(Output& out, const char* argument) {
    report(out, message_text(out, kMsgBadParameter, argument), Sink::Console);
    return RunMode::ParameterError;
}

// Judges the work folder and the folders above it before anything is written
// in it.
Status open_work_folder(System& sys, Output& out, const std::string& folder) {
    int error = sys.open_work_folder(folder);
    if (error != 0) {
        report(out, message_text(out, kMsgFileIoError, error, kCodeWorkFolder), Sink::Console);
        return Status::WorkFolder;
    }
    return Status::Ok;
}

// Once the settings name a work folder: judges it, takes the machine and
// begins the run's record, in that order, so that nothing is written in a
// folder others may change or while another run owns the machine.
Status claim_work_folder(RunState& state, RunMode mode) {
    const std::string& folder = state.settings.value(kWorkDir);
    if (state.settings.settings_full_path.empty() || folder.empty()) {
        return Status::Ok;
    }
    state.paths = build_work_paths(folder, state.sys.path_separator());
    Status status = open_work_folder(state.sys, state.out, folder);
    if (status == Status::Ok) {
        status =
            take_machine(state.sys, state.out, state.settings.program.wait_seconds, &state.machine);
    }
    if (status == Status::Ok) {
        status = begin_run_record(state, mode);
    }
    return status;
}

// With the machine held, before the installer's files are written: waits for
// another installation and looks for a pending restart.
Status prepare_machine(RunState& state) {
    Status status = wait_for_other_installation(
        state.sys, state.out, state.settings.program.wait_seconds, &state.machine);
    if (status == Status::Ok) {
        find_pending_restart(state.sys, state.settings.program.pending_reboot, &state.machine);
        status = stop_for_pending_restart(state.out, state.machine);
    }
    return status;
}

}  // namespace

RunMode parse_arguments(Output& out, int argc, const char* const* argv) {
    switch (argc) {
        case 0:
        case 1:
            return parameter_error(out, kMsgNoParameter);
        case 2:
            if (is_switch(argv[1], "-h")) {
                return RunMode::Help;
            }
            if (is_switch(argv[1], "-f")) {
                return parameter_error(out, kMsgNoSettingsFile);
            }
            return bad_value(out, argv[1]);
        case 3:
            if (is_switch(argv[1], "-f")) {
                return RunMode::Install;
            }
            return bad_value(out, argv[1]);
        case 4:
            if (is_switch(argv[1], "-f") && is_switch(argv[3], "-c")) {
                return RunMode::Check;
            }
            if (is_switch(argv[1], "-f") && is_switch(argv[3], "-t")) {
                return RunMode::OptionsOnly;
            }
            return parameter_error(out, kMsgTooManyParameters);
        default:
            return parameter_error(out, kMsgTooManyParameters);
    }
}

WorkPaths build_work_paths(const std::string& folder, char separator) {
    const std::string prefix = folder + separator;
    WorkPaths paths;
    paths.run_log = prefix + kRunLogName;
    paths.response = prefix + kResponseName;
    paths.installer_log = prefix + kInstallerLogName;
    paths.options = prefix + kOptionsName;
    paths.result_record = prefix + kResultRecordName;
    return paths;
}

Status run_install(RunState& state, const std::string& settings_file, bool check) {
    System& sys = state.sys;
    Output& out = state.out;
    const Settings& settings = state.settings;
    bool warned = false;
    Status status = load_settings(sys, out, settings_file, &state.settings, &warned);
    Status claimed = claim_work_folder(state, check ? RunMode::Check : RunMode::Install);
    if (status != Status::Ok) {
        return status;
    }
    if (claimed != Status::Ok) {
        return claimed;
    }
    register_console_control(state);
    status = prepare_machine(state);
    if (status != Status::Ok) {
        return status;
    }
    status = write_response_file(sys, out, settings, state.paths.response);
    if (status == Status::Ok && !check) {
        status = write_options_file(sys, out, settings, state.paths.options);
    }
    if (status != Status::Ok) {
        return status;
    }
    int64_t size_before = sys.file_size(state.paths.run_log);
    state.record.run_log_size_before = size_before < 0 ? 0 : size_before;  // 0: a new run log
    status = open_run_log(out, state.paths.run_log, check, warned);
    if (status != Status::Ok) {
        return status;
    }
    trace_settings(sys, out, settings, check);
    report_machine_state(out, state.machine);
    status =
        launch_setup(sys, out, settings, state.paths, state.watch, &state.installer, check, warned);
    if (status != Status::Ok) {
        return status;
    }
    bool completed = false;
    state.watch.replay_installer_log(&completed);
    state.installer.completed = completed;
    // An installation the installer reports as failed must not end as a
    // success: unattended deployments go by the exit code alone.
    return check_setup_result(sys, out, state.paths, &state.installer, completed);
}

Status run_options_only(RunState& state, const std::string& settings_file) {
    bool warned = false;
    Status status = load_settings(state.sys, state.out, settings_file, &state.settings, &warned);
    Status claimed = claim_work_folder(state, RunMode::OptionsOnly);
    if (claimed != Status::Ok) {
        return claimed;
    }
    if (warned) {
        return Status::Warnings;
    }
    if (status != Status::Ok) {
        return status;
    }
    return write_options_file(state.sys, state.out, state.settings, state.paths.options);
}

int exit_code_for(Status status, bool narrow) {
    switch (status) {
        case Status::Ok:
            return kExitOk;
        case Status::ParameterError:
            return kExitParameterError;
        case Status::Busy:
            return narrow ? kExitBusyNarrow : kExitBusy;
        case Status::RestartPending:
            return narrow ? kExitRestartPendingNarrow : kExitRestartPending;
        default:
            return kExitFailed;
    }
}

int run_main(System& sys, int argc, const char* const* argv) {
    RunState state(sys);
    if (!is_administrator(sys)) {
        report_message(state.out, kMsgNoPermission);
        return kExitNotAdministrator;
    }
    Status status = Status::ParameterError;
    switch (parse_arguments(state.out, argc, argv)) {
        case RunMode::Help:
            report(state.out, get_message(state.out, kMsgUsage), Sink::Console);
            status = Status::Ok;
            break;
        case RunMode::Install:
            status = run_install(state, argv[2], false);
            break;
        case RunMode::Check:
            status = run_install(state, argv[2], true);
            break;
        case RunMode::OptionsOnly:
            status = run_options_only(state, argv[2]);
            break;
        case RunMode::ParameterError:
            break;
    }
    // The handler uses the state, which ends with this function.
    unregister_console_control(state);
    return finish_run_record(state, exit_code_for(status, sys.narrow_exit_status()));
}

}  // namespace iz
