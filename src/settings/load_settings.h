// Reading the settings file into the settings table, validating and
// completing the values, and tracing the raw settings into the run log.
#pragma once

#include <string>

#include "core/limits.h"
#include "core/status.h"

namespace iz {

class Output;
class System;
struct Settings;

const int kCodeFullPath = 100373;
const int kCodeSettingsRead = 100380;
const int kCodeTraceFile = 100620;
const int kCodeTraceCheck = 100622;
const int kCodeTraceKey = 100635;

// Checks the settings file, takes its full path, opens it for reading once,
// reads every key of the table and validates and completes the values.
// Returns Status::Ok, Status::SettingsFile (the settings file is missing or
// cannot be read) or Status::NoDefault (the work folder or installation
// folder default cannot be had); `warned` tells whether any value drew a
// warning. Messages go to the console only.
Status load_settings(System& sys, Output& out, const std::string& settings_file, Settings* settings,
                     bool* warned);

// Records the command line and the file's raw text of every key in the run
// log, reading the file again.
void trace_settings(System& sys, Output& out, const Settings& settings, bool check);

}  // namespace iz
