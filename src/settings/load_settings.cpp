#include "settings/load_settings.h"

#include "core/limits.h"
#include "core/run_state.h"
#include "core/status.h"
#include "core/windows_buffer.h"
#include "messages/catalogue.h"
#include "messages/output.h"
#include "messages/text.h"
#include "platform/system.h"
#include "settings/program_settings.h"
#include "settings/validate.h"

namespace iz {

namespace {

// The key's value as the profile reader returns it into a buffer of capacity
// + 2 bytes, so that one byte beyond the capacity tells an over-long value.
std::string read_key(RunState& state, SettingEntry& entry) {
    std::string value =
        cut_to_buffer(state.sys.profile_string(entry.section, entry.key, entry.default_value,
                                               state.settings_full_path),
                      entry.capacity + 2);
    entry.returned_length = static_cast<uint32_t>(value.size());
    return value;
}

int locate_settings_file(RunState& state, const std::string& settings_file) {
    if (settings_file.size() > kMaxPath || !state.sys.is_disk_file(settings_file)) {
        report(state, get_message(state, kMsgSettingsFileMissing), kToConsole);
        return kStatusSettingsFile;
    }
    std::string full;
    int error = state.sys.full_path_name(settings_file, &full);
    error = text_error(state.sys, error, full, kPathBufferSize);
    if (error != 0) {
        report(state, message_text(state, kMsgInternalError, error, kCodeFullPath), kToConsole);
        return kStatusSettingsFile;
    }
    state.settings_full_path = full;
    // The profile reader answers an unreadable file like an empty one, which
    // would install the defaults nobody asked for.
    error = state.sys.open_settings_file(state.settings_full_path);
    if (error != 0) {
        report(state, message_text(state, kMsgSettingsIoError, error, kCodeSettingsRead),
               kToConsole);
        return kStatusSettingsFile;
    }
    return kStatusOk;
}

void read_pass(RunState& state, bool* warning) {
    for (SettingEntry& entry : state.settings) {
        entry.value = read_key(state, entry);
        if (entry.returned_length > entry.capacity) {
            note_warning(state, kMsgBadDefinition, entry.key, entry.value);
            report(state, message_text(state, kMsgBadDefinition, entry.key, entry.value.c_str()),
                   kToConsole);
            entry.value = entry.default_value;
            *warning = true;
        }
    }
}

}  // namespace

int load_settings(RunState& state, const std::string& settings_file, int* warned) {
    *warned = 0;
    int result = locate_settings_file(state, settings_file);
    if (result != kStatusOk) {
        return result;
    }
    bool warning = false;
    read_pass(state, &warning);
    result = validate_settings(state, &warning);
    if (result == kStatusOk) {
        read_program_settings(state, &warning);
    }
    *warned = warning ? 1 : 0;
    return result;
}

void trace_settings(RunState& state, int check) {
    trace(state, kCodeTraceFile, format_text(state, "-f=%s", state.settings_full_path.c_str()));
    if (check != 0) {
        trace(state, kCodeTraceCheck, "-c");
    }
    for (SettingEntry& entry : state.settings) {
        std::string raw = read_key(state, entry);
        trace(state, kCodeTraceKey, format_text(state, "%s=%s", entry.key, raw.c_str()));
    }
    trace_program_settings(state);
}

}  // namespace iz
