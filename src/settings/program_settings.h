// The program's own settings: the [INSTALLZOVA] section of the settings file
// (wait_seconds, pending_reboot, silence_notice_seconds), apart from the
// product's table.
#pragma once

#include <cstdint>
#include <string>

namespace iz {

class Output;
class System;
struct Settings;

const char kProgramSection[] = "INSTALLZOVA";
const int64_t kDefaultWaitSeconds = 600;
const int64_t kDefaultSilenceNoticeSeconds = 900;
const int64_t kMaxProgramSeconds = 86400;

// What a pending restart does to the run (pending_reboot).
enum class PendingRebootPolicy { Warn = 0, Stop = 1, Ignore = 2 };

// "warn", "stop" or "ignore".
const char* policy_name(PendingRebootPolicy policy);

struct ProgramSettings {
    // How long a run waits for another installation; 0: not at all.
    int64_t wait_seconds = kDefaultWaitSeconds;
    PendingRebootPolicy pending_reboot = PendingRebootPolicy::Warn;
    // How long a silent installer goes before a notice; 0: no notice.
    int64_t silence_notice_seconds = kDefaultSilenceNoticeSeconds;
    // Whether the settings file has the section with any of its keys.
    bool present = false;
};

// Parses one value; false when it is not valid for the key (or the key is
// unknown), `settings` then unchanged. Numbers are plain decimal digits from
// 0 to kMaxProgramSeconds; the policy is warn, stop or ignore in any case.
bool parse_program_setting(const std::string& key, const std::string& value,
                           ProgramSettings* settings);

// Reads the section into settings->program. A key that is absent or empty
// keeps its default; a bad value draws QIRU09307 on the console, keeps the
// default and sets `warning`.
void read_program_settings(System& sys, Output& out, Settings* settings, bool* warning);

// Traces the raw text of each key in the run log, as the product's keys are
// traced, when the settings file has the section.
void trace_program_settings(System& sys, Output& out, const Settings& settings);

}  // namespace iz
