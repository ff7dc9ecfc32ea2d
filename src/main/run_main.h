// The program's spine: the administrator check, the command line, the two
// mode drivers and the exit code.
#pragma once

#include <string>

#include "core/status.h"
#include "core/work_file_names.h"
#include "main/run_state.h"

namespace iz {

// The program's exit codes: every status but Ok, ParameterError, Busy and
// RestartPending ends with kExitFailed.
const int kExitOk = 0;
const int kExitParameterError = 1;
const int kExitNotAdministrator = 2;
const int kExitFailed = 99;
// Windows' "another installation is already in progress", which deployment
// tools take as "retry later"; EX_TEMPFAIL where exit statuses have 8 bits.
const int kExitBusy = 1618;
const int kExitBusyNarrow = 75;
// Windows' "no action was taken as a system reboot is required";
// EX_UNAVAILABLE where exit statuses have 8 bits.
const int kExitRestartPending = 350;
const int kExitRestartPendingNarrow = 69;

int run_main(System& sys, int argc, const char* const* argv);

// Prints its own messages (console only) and returns the mode.
RunMode parse_arguments(Output& out, int argc, const char* const* argv);

Status run_install(RunState& state, const std::string& settings_file, bool check);
Status run_options_only(RunState& state, const std::string& settings_file);

// The work-file paths in `folder`. The paths are never cut: load_settings
// has refused a work folder too long for them.
WorkPaths build_work_paths(const std::string& folder, char separator);

// The work folder may be changed by others than administrators (QIRU09216).
const int kCodeWorkFolder = 100560;

// `narrow`: the platform's exit statuses have 8 bits.
int exit_code_for(Status status, bool narrow = false);

}  // namespace iz
