// The program's own settings: the [INSTALLZOVA] section of the settings file
// (wait_seconds, pending_reboot, silence_notice_seconds), apart from the
// product's table.
#pragma once

#include <string>

#include "core/program_settings.h"

namespace iz {

struct RunState;

const char kProgramSection[] = "INSTALLZOVA";

// Parses one value; false when it is not valid for the key (or the key is
// unknown), `settings` then unchanged. Numbers are plain decimal digits from
// 0 to kMaxProgramSeconds; the policy is warn, stop or ignore in any case.
bool parse_program_setting(const std::string& key, const std::string& value,
                           ProgramSettings* settings);

// Reads the section into state.program. A key that is absent or empty keeps
// its default; a bad value draws message 23 on the console, keeps the default
// and sets `warning`.
void read_program_settings(RunState& state, bool* warning);

// Traces the raw text of each key in the run log, as the product's keys are
// traced, when the settings file has the section.
void trace_program_settings(RunState& state);

}  // namespace iz
