// Judging the installer's result from setup.log and removing the work files
// after a completed installation.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "core/status.h"

namespace iz {

class Output;
class System;
struct WorkPaths;

const int kCodeResultTrace = 101219;
const int kCodeResultFailed = 101245;

// What the run learns about the installer: whether it ran to its end and
// with which exit code, the result code it left in setup.log, whether it
// completed the installation, and whether the work files were removed after
// it. The console handler's thread may read the result and remove the work
// files while the main thread waits: what both touch is atomic.
struct InstallerOutcome {
    bool exited = false;
    uint32_t exit_code = 0;
    std::atomic<bool> result_code_read{false};
    std::atomic<int> result_code{0};
    bool completed = false;
    std::atomic<bool> work_files_removed{false};
};

// The decimal reading of a result code: leading blanks, an optional sign,
// digits up to the first non-digit; 0 without digits; held within int.
int result_code_number(const std::string& value);

// Reads ResultCode from setup.log into `outcome`. Code "0" after a completed
// installation deletes setup.iss, setup.log and setoptions.bat (never the
// run log), once. Returns Status::InstallerFailed after reporting QIRU09216
// for a missing or non-zero code, else Status::Ok.
// Safe to call from the console handler's thread as well.
Status check_setup_result(System& sys, Output& out, const WorkPaths& paths,
                          InstallerOutcome* outcome, bool completed);

}  // namespace iz
