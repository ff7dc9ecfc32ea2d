// The statuses every operation of the run returns, by name. Their numbers are
// fixed: every one but Ok, ParameterError, Busy and RestartPending ends the
// run with exit code 99.
#pragma once

namespace iz {

enum class Status {
    Ok = 0,
    ParameterError = 1,
    SettingsFile = 2,
    NoDefault = 3,
    Warnings = 4,
    ResponseFile = 6,
    RunLog = 7,
    Setup = 8,
    OptionsFile = 9,
    // The installer's result code was missing or not "0".
    InstallerFailed = 10,
    // The work folder may be changed by users other than administrators.
    WorkFolder = 11,
    // Another installation kept the machine busy until the wait ran out.
    Busy = 12,
    // The machine waits for a restart and the policy says stop.
    RestartPending = 13,
    // The result record could not be written before the run.
    ResultRecord = 14,
};

}  // namespace iz
