// What lives for the whole run, held by run_main: each layer's own state,
// made once and handed to each step as far as the step needs it. The console
// control handler reaches it through its registration, on another thread;
// the objects it touches there say how they may be shared.
#pragma once

#include <cstdint>
#include <string>

#include "core/work_file_names.h"
#include "installer/installer_watch.h"
#include "installer/machine_checks.h"
#include "installer/result_check.h"
#include "messages/output.h"
#include "platform/system.h"
#include "settings/settings_table.h"

namespace iz {

enum class RunMode { ParameterError, Help, Install, OptionsOnly, Check };

// What the result record needs to know from the run's start; only the main
// thread touches it.
struct RecordNotes {
    // Set when the run's record was begun.
    bool begun = false;
    RunMode mode = RunMode::Install;
    LocalTime started_at;  // UTC
    // The product's installed option before anything ran.
    std::string option_before;
    // The run log's size before this run's start line, -1 when unknown.
    int64_t run_log_size_before = -1;
};

struct RunState {
    explicit RunState(System& system) : sys(system), out(system), watch(system, out) {}

    System& sys;
    Output out;
    // Fixed once load_settings is done.
    Settings settings;
    WorkPaths paths;
    // Filled by the checks before the installer.
    MachineReport machine;
    InstallerOutcome installer;
    InstallerWatch watch;
    RecordNotes record;
};

}  // namespace iz
