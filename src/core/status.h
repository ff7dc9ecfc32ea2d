// The statuses every operation of the run returns, by name. Their numbers are
// fixed: every one but 0, 1, 11 and 12 ends the run with exit code 99.
#pragma once

namespace iz {

enum Status {
    kStatusOk = 0,
    kStatusParameterError = 1,
    kStatusSettingsFile = 2,
    kStatusNoDefault = 3,
    kStatusWarnings = 4,
    kStatusResponseFile = 6,
    kStatusRunLog = 7,
    kStatusSetup = 8,
    kStatusOptionsFile = 9,
    // The installer's result code was missing or not "0".
    kStatusInstallerFailed = 10,
    // The work folder may be changed by users other than administrators.
    kStatusWorkFolder = 11,
    // Another installation kept the machine busy until the wait ran out.
    kStatusBusy = 12,
    // The machine waits for a restart and the policy says stop.
    kStatusRestartPending = 13,
    // The result record could not be written before the run.
    kStatusResultRecord = 14,
};

}  // namespace iz
