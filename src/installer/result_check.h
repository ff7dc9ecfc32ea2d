// Judging the installer's result from setup.log and removing the work files
// after a completed installation.
#pragma once

#include <string>

#include "core/status.h"

namespace iz {

class Output;
class System;
struct InstallerOutcome;
struct WorkPaths;

const int kCodeResultTrace = 101219;
const int kCodeResultFailed = 101245;

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
