#include "settings/load_settings.h"

#include "core/limits.h"
#include "core/windows_buffer.h"
#include "messages/catalogue.h"
#include "messages/output.h"
#include "messages/text.h"
#include "platform/system.h"
#include "settings/program_settings.h"
#include "settings/settings_table.h"
#include "settings/validate.h"

namespace iz {

namespace {

// The key's value as the profile reader returns it into a buffer of capacity
// + 2 bytes, so that one byte beyond the capacity tells an over-long value.
std::string read_key(System& sys, const std::string& file, const SettingEntry& entry,
                     uint32_t* returned_length) {
    std::string value =
        cut_to_buffer(sys.profile_string(entry.section, entry.key, entry.default_value, file),
                      entry.capacity + 2);
    *returned_length = static_cast<uint32_t>(value.size());
    return value;
}

Status locate_settings_file(System& sys, Output& out, const std::string& settings_file,
                            std::string* full_path) {
    if (settings_file.size() > kMaxPath || !sys.is_disk_file(settings_file)) {
        report(out, get_message(out, kMsgSettingsFileMissing), Sink::Console);
        return Status::SettingsFile;
    }
    std::string full;
    int error = sys.full_path_name(settings_file, &full);
    error = text_error(sys, error, full, kPathBufferSize);
    if (error != 0) {
        report(out, message_text(out, kMsgInternalError, error, kCodeFullPath), Sink::Console);
        return Status::SettingsFile;
    }
    *full_path = full;
    // The profile reader answers an unreadable file like an empty one, which
    // would install the defaults nobody asked for.
    error = sys.open_settings_file(*full_path);
    if (error != 0) {
        report(out, message_text(out, kMsgSettingsIoError, error, kCodeSettingsRead),
               Sink::Console);
        return Status::SettingsFile;
    }
    return Status::Ok;
}

void read_pass(System& sys, Output& out, Settings* settings, bool* warning) {
    for (SettingEntry& entry : settings->table) {
        entry.value = read_key(sys, settings->settings_full_path, entry, &entry.returned_length);
        if (entry.returned_length > entry.capacity) {
            note_warning(settings, kMsgBadDefinition, entry.key, entry.value);
            report(out, message_text(out, kMsgBadDefinition, entry.key, entry.value.c_str()),
                   Sink::Console);
            entry.value = entry.default_value;
            *warning = true;
        }
    }
}

}  // namespace

Status load_settings(System& sys, Output& out, const std::string& settings_file, Settings* settings,
                     bool* warned) {
    *warned = false;
    Status result = locate_settings_file(sys, out, settings_file, &settings->settings_full_path);
    if (result != Status::Ok) {
        return result;
    }
    bool warning = false;
    read_pass(sys, out, settings, &warning);
    result = validate_settings(sys, out, settings, &warning);
    if (result == Status::Ok) {
        read_program_settings(sys, out, settings, &warning);
    }
    *warned = warning;
    return result;
}

void trace_settings(System& sys, Output& out, const Settings& settings, bool check) {
    const std::string& file = settings.settings_full_path;
    trace(out, kCodeTraceFile, format_text(out, "-f=%s", file.c_str()));
    if (check) {
        trace(out, kCodeTraceCheck, "-c");
    }
    for (const SettingEntry& entry : settings.table) {
        std::string raw = read_key(sys, file, entry, &entry.returned_length);
        trace(out, kCodeTraceKey, format_text(out, "%s=%s", entry.key, raw.c_str()));
    }
    trace_program_settings(sys, out, settings);
}

}  // namespace iz
