// The program's spine: the administrator check, the command line, the two
// mode drivers and the exit code.
#pragma once

#include <string>

#include "core/status.h"

namespace iz {

class System;
struct RunState;

enum RunMode {
    kModeParameterError = -1,
    kModeHelp = 0,
    kModeInstall = 1,
    kModeOptionsOnly = 2,
    kModeCheck = 3,
};

// The program's exit codes: every status but kStatusOk,
// kStatusParameterError, kStatusBusy and kStatusRestartPending ends with
// kExitFailed.
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
RunMode parse_arguments(RunState& state, int argc, const char* const* argv);

int run_install(RunState& state, const std::string& settings_file, int check);
int run_options_only(RunState& state, const std::string& settings_file);

// Once the settings name a work folder: judges the folder, takes the machine
// lock and begins the run's record. Returns 0 (also when no work folder is
// known), kStatusWorkFolder, kStatusBusy, kStatusSetup or kStatusResultRecord.
int claim_work_folder(RunState& state, int mode);

// With the machine held, before the installer's files are written: waits for
// another installation and looks for a pending restart. Returns 0,
// kStatusBusy or kStatusRestartPending, with state.machine filled.
int prepare_machine(RunState& state);

// Fills the four work-file paths from the work folder. The paths are never
// cut: load_settings has refused a work folder too long for them.
void build_work_paths(RunState& state);

const int kCodeWorkFolder = 100560;

// Judges the work folder and the folders above it before anything is written
// in it. Returns 0, or kStatusWorkFolder after reporting message 15 with the system error
// number and kCodeWorkFolder.
int open_work_folder(RunState& state);

// `narrow`: the platform's exit statuses have 8 bits.
int exit_code_for(int status, bool narrow = false);

}  // namespace iz
