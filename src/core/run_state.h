// Everything that lives for the whole run, in one object made by run_main.
// The console control handler reaches it through its registration and may
// read it on another thread: what both threads touch after the handler is
// registered is atomic or written once before it is published.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "core/language.h"
#include "core/machine_report.h"
#include "core/program_settings.h"
#include "core/settings_table.h"
#include "platform/system.h"

namespace iz {

class System;

struct WorkPaths {
    std::string run_log;        // <work folder>\installzova.log
    std::string response;       // <work folder>\setup.iss
    std::string installer_log;  // <work folder>\setup.log
    std::string options;        // <work folder>\setoptions.bat
    std::string result_record;  // <work folder>\installzova-result.json
};

class InstallerWatch;

// A warning the settings drew: the message (a MessageId), the key and its
// value as the settings file holds it.
struct SettingWarning {
    int message = 0;
    std::string key;
    std::string value;
};

// What the run learnt for its result record. Only the main thread writes
// these, except the result code, which a log-off's handler may also read.
struct RunOutcome {
    std::vector<SettingWarning> warnings;
    bool installer_exited = false;
    uint32_t installer_exit_code = 0;
    std::atomic<bool> result_code_read{false};
    std::atomic<int> result_code{0};
    bool completed = false;
    // The run log's size before this run's start line, -1 when unknown.
    int64_t run_log_size_before = -1;
    // Set when the run's record was begun: the mode, the start (UTC) and
    // the product's installed option before anything ran.
    bool record_begun = false;
    int record_mode = 0;
    LocalTime started_at;
    std::string option_before;
};

struct RunState {
    explicit RunState(System& system) : sys(system), settings(make_settings_table()) {}

    System& sys;
    SettingsTable settings;
    std::string settings_full_path;
    WorkPaths paths;

    // Set once by open_run_log; `run_log_recorded` publishes both strings, path and start line.
    std::string run_log_path;
    std::string start_line;
    std::atomic<bool> run_log_recorded{false};

    std::atomic<int> language{kLanguageUndecided};
    std::atomic<bool> reboot_requested{false};
    std::atomic<bool> work_files_removed{false};
    std::atomic<bool> log_replayed{false};
    // The watch of the installer (installer/installer_watch.h), which owns
    // how far its lines have been shown; null while there is none.
    std::atomic<InstallerWatch*> watch{nullptr};

    // Read by load_settings; the defaults until then.
    ProgramSettings program;
    // Filled by the checks before the installer (installer/machine_checks.h).
    MachineReport machine;
    RunOutcome outcome;

    // The value of a setting, by row.
    std::string& value(int row) { return settings[row].value; }
};

}  // namespace iz
