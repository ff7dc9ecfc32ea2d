// Everything that lives for the whole run, in one object made by run_main.
// The console control handler reaches it through its registration and may
// read it on another thread: what both threads touch after the handler is
// registered is atomic or written once before it is published.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "core/language.h"
#include "core/machine_report.h"
#include "core/program_settings.h"
#include "core/settings_table.h"

namespace iz {

class System;

struct WorkPaths {
    std::string run_log;        // <work folder>\installzova.log
    std::string response;       // <work folder>\setup.iss
    std::string installer_log;  // <work folder>\setup.log
    std::string options;        // <work folder>\setoptions.bat
};

class InstallerWatch;

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

    // The value of a setting, by row.
    std::string& value(int row) { return settings[row].value; }
};

}  // namespace iz
