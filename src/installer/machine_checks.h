// What must hold of the machine before the installer starts: no other
// installzova run installs meanwhile (the machine lock), no other
// installation is in progress, and what to do when a restart is pending.
// Both waits share one limit, state.program.wait_seconds; what they found is
// kept in state.machine for the rest of the run.
#pragma once

#include <string>
#include <vector>

namespace iz {

struct RunState;

const int kCodeMachineLock = 101205;

// How often a waiting run looks again, and how often it says so.
const unsigned kWaitPollMs = 500;
const int64_t kWaitNoticeMs = 60 * 1000;

// Waits until this run holds the machine lock. Says at once on the console
// what it waits for, and again once a minute. Returns 0; kStatusBusy after
// message 19 when the limit ran out; kStatusSetup after message 1 when the
// lock cannot be had at all. Writes no file.
int take_machine(RunState& state);

// Waits while another installation is in progress, within what is left of
// the limit, with the same messages and results as take_machine.
int wait_for_other_installation(RunState& state);

// Unless the policy is ignore, fills state.machine with the sources that say
// the machine waits for a restart.
void find_pending_restart(RunState& state);

// The registry's pending-restart sources that are set, as "HKLM\..." names.
std::vector<std::string> registry_restart_sources(RunState& state);

// With the policy stop and a restart pending: reports message 21 for each
// source on the console and returns kStatusRestartPending; otherwise 0.
int stop_for_pending_restart(RunState& state);

// Once the run log is open: records the wait there (message 18), and reports
// each pending-restart source as message 20 on the console and in the run log.
void report_machine_state(RunState& state);

}  // namespace iz
