// What the checks before the installer found about the machine, for the main
// flow to read once the run is over: how long the run waited for another
// installation, and whether the machine already waited for a restart.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "settings/program_settings.h"

namespace iz {

struct MachineReport {
    // Whole seconds waited for the machine lock and for another installation.
    int64_t seconds_waited = 0;
    // What it waited for last ("installzova, process id 4242", "dpkg",
    // "Windows Installer"); empty when it did not wait.
    std::string waited_for;
    // Each source that says a restart is pending: a registry key or value
    // ("HKLM\...\RebootPending") or a file ("/run/reboot-required").
    std::vector<std::string> restart_sources;
    // The packages /run/reboot-required.pkgs names, one a line, as written.
    std::vector<std::string> restart_packages;
    PendingRebootPolicy policy = PendingRebootPolicy::Warn;
};

}  // namespace iz
