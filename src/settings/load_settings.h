// Reading the settings file into the settings table, validating and
// completing the values, and tracing the raw settings into the run log.
#pragma once

#include <cstdint>
#include <string>

#include "core/limits.h"

namespace iz {

struct RunState;

const int kCodeFullPath = 100373;
const int kCodeSettingsRead = 100380;
const int kCodeTraceFile = 100620;
const int kCodeTraceCheck = 100622;
const int kCodeTraceKey = 100635;

// Checks the settings file, takes its full path, opens it for reading once,
// reads every key of the table and validates and completes the values.
// Returns 0, 2 (the settings file is missing or cannot be read) or 3 (the work folder or
// installation folder default cannot be had); `warned` is 1 when any value drew a warning. Messages
// go to the console only.
int load_settings(RunState& state, const std::string& settings_file, int* warned);

// Records the command line and the file's raw text of every key in the run
// log, reading the file again.
void trace_settings(RunState& state, int check);

}  // namespace iz
