// What must hold of the machine before the installer starts: no other
// installzova run installs meanwhile (the machine lock), no other
// installation is in progress, and what to do when a restart is pending.
// Both waits share one limit, wait_seconds; what they found is kept in the
// run's MachineReport for the rest of the run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/status.h"
#include "settings/program_settings.h"

namespace iz {

class Output;
class System;

const int kCodeMachineLock = 101205;

// What the checks before the installer found about the machine, for the main
// flow to read once the run is over: how long the run waited for another
// installation, and whether the machine already waited for a restart.
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

// How often a waiting run looks again, and how often it says so.
const unsigned kWaitPollMs = 500;
const int64_t kWaitNoticeMs = 60 * 1000;

// Waits until this run holds the machine lock. Says at once on the console
// what it waits for, and again once a minute. Returns Status::Ok;
// Status::Busy after QIRU09303 when the limit ran out; Status::Setup after
// QIRU09034 when the lock cannot be had at all. Writes no file.
Status take_machine(System& sys, Output& out, int64_t wait_seconds, MachineReport* machine);

// Waits while another installation is in progress, within what is left of
// the limit, with the same messages and results as take_machine.
Status wait_for_other_installation(System& sys, Output& out, int64_t wait_seconds,
                                   MachineReport* machine);

// Unless the policy is ignore, fills `machine` with the sources that say the
// machine waits for a restart.
void find_pending_restart(System& sys, PendingRebootPolicy policy, MachineReport* machine);

// The registry's pending-restart sources that are set, as "HKLM\..." names.
std::vector<std::string> registry_restart_sources(System& sys);

// With the policy stop and a restart pending: reports QIRU09305 for each
// source on the console and returns Status::RestartPending; otherwise Ok.
Status stop_for_pending_restart(Output& out, const MachineReport& machine);

// Once the run log is open: records the wait there (QIRU09302), and reports
// each pending-restart source as QIRU09304 on the console and in the run log.
void report_machine_state(Output& out, const MachineReport& machine);

}  // namespace iz
