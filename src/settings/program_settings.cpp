#include "settings/program_settings.h"

#include "core/ascii.h"
#include "core/windows_buffer.h"
#include "messages/catalogue.h"
#include "messages/output.h"
#include "messages/text.h"
#include "platform/system.h"
#include "settings/load_settings.h"
#include "settings/settings_table.h"
#include "settings/validate.h"

namespace iz {

namespace {

const char* const kKeys[] = {"wait_seconds", "pending_reboot", "silence_notice_seconds"};
// Long enough for every valid value; a longer one is bad whatever it holds.
const uint32_t kValueSize = 34;
// What the reader returns for a key the section does not have. A file could
// hold this control byte as a value, but no one writes it; it would only
// read as an absent key, whose default applies.
const char kAbsent[] = "\x01";

bool parse_seconds(const std::string& value, int64_t* seconds) {
    if (value.empty() || value.size() > 5) {
        return false;
    }
    int64_t number = 0;
    for (char c : value) {
        if (c < '0' || c > '9') {
            return false;
        }
        number = number * 10 + (c - '0');
    }
    if (number > kMaxProgramSeconds) {
        return false;
    }
    *seconds = number;
    return true;
}

bool parse_policy(const std::string& value, PendingRebootPolicy* policy) {
    for (PendingRebootPolicy candidate :
         {PendingRebootPolicy::Warn, PendingRebootPolicy::Stop, PendingRebootPolicy::Ignore}) {
        if (equals_ignore_case(value.c_str(), policy_name(candidate))) {
            *policy = candidate;
            return true;
        }
    }
    return false;
}

std::string read_raw(System& sys, const std::string& file, const char* key, const char* fallback) {
    return cut_to_buffer(sys.profile_string(kProgramSection, key, fallback, file), kValueSize);
}

}  // namespace

bool parse_program_setting(const std::string& key, const std::string& value,
                           ProgramSettings* settings) {
    if (key == kKeys[0]) {
        return parse_seconds(value, &settings->wait_seconds);
    }
    if (key == kKeys[1]) {
        return parse_policy(value, &settings->pending_reboot);
    }
    if (key == kKeys[2]) {
        return parse_seconds(value, &settings->silence_notice_seconds);
    }
    return false;
}

void read_program_settings(System& sys, Output& out, Settings* settings, bool* warning) {
    for (const char* key : kKeys) {
        std::string value = read_raw(sys, settings->settings_full_path, key, kAbsent);
        if (value == kAbsent) {
            continue;
        }
        settings->program.present = true;
        // Cut by the reader: too long to be valid, whatever it begins with.
        bool whole = value.size() < kValueSize - 1;
        if (value.empty() || (whole && parse_program_setting(key, value, &settings->program))) {
            continue;
        }
        report(out, message_text(out, kMsgBadProgramSetting, key, value.c_str()), Sink::Console);
        note_warning(settings, kMsgBadProgramSetting, key, value);
        *warning = true;
    }
}

void trace_program_settings(System& sys, Output& out, const Settings& settings) {
    if (!settings.program.present) {
        return;
    }
    for (const char* key : kKeys) {
        std::string raw = read_raw(sys, settings.settings_full_path, key, "");
        trace(out, kCodeTraceKey, format_text(out, "%s=%s", key, raw.c_str()));
    }
}

const char* policy_name(PendingRebootPolicy policy) {
    switch (policy) {
        case PendingRebootPolicy::Stop:
            return "stop";
        case PendingRebootPolicy::Ignore:
            return "ignore";
        case PendingRebootPolicy::Warn:
            break;
    }
    return "warn";
}

}  // namespace iz
