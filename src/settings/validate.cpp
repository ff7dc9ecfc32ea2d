#include "settings/validate.h"

#include "core/ascii.h"
#include "core/limits.h"
#include "core/run_state.h"
#include "core/status.h"
#include "core/windows_buffer.h"
#include "core/work_file_names.h"
#include "messages/catalogue.h"
#include "messages/output.h"
#include "messages/text.h"
#include "platform/system.h"
#include "settings/install_dir.h"

namespace iz {

namespace {

const char kSupportedFileVersion[] = "0201";

bool is_digit(unsigned char c) {
    return c >= '0' && c <= '9';
}

bool is_batch_special(unsigned char c) {
    return c < 0x20 || c == '&' || c == '|' || c == '<' || c == '>' || c == '^' || c == '%' ||
           c == '"';
}

void warn(RunState& state, const std::string& text, bool* warning) {
    report(state, text, kToConsole);
    *warning = true;
}

void warn_value(RunState& state, MessageId id, SettingEntry& entry, bool* warning) {
    note_warning(state, id, entry.key, entry.value);
    warn(state, message_text(state, id, entry.key, entry.value.c_str()), warning);
    entry.value.clear();
}

void kind_pass(RunState& state, bool* warning) {
    for (SettingEntry& entry : state.settings) {
        if (!is_valid_value(entry.value, entry.kind)) {
            warn_value(state, kMsgBadDefinition, entry, warning);
        }
    }
}

// Byte-wise, unsigned, a prefix sorting first.
bool sorts_after(const std::string& value, const char* reference) {
    const std::string ref(reference);
    size_t common = value.size() < ref.size() ? value.size() : ref.size();
    for (size_t i = 0; i < common; ++i) {
        unsigned char a = static_cast<unsigned char>(value[i]);
        unsigned char b = static_cast<unsigned char>(ref[i]);
        if (a != b) {
            return a > b;
        }
    }
    return value.size() > ref.size();
}

void check_file_version(RunState& state, bool* warning) {
    std::string& version = state.value(kFileVersion);
    if (version.empty() || sorts_after(version, kSupportedFileVersion)) {
        note_warning(state, kMsgUnsupportedVersion, state.settings[kFileVersion].key, version);
        warn(state, message_text(state, kMsgUnsupportedVersion, state.value(kZovaVersion).c_str()),
             warning);
        version = kSupportedFileVersion;
    }
}

void check_folders(RunState& state, bool* warning) {
    SettingEntry& work = state.settings[kWorkDir];
    if (!work.value.empty()) {
        uint32_t attributes = state.sys.file_attributes(work.value);
        if (attributes == kInvalidFileAttributes || !(attributes & kFileAttributeDirectory)) {
            warn_value(state, kMsgPathMissing, work, warning);
        }
    }
    SettingEntry& install = state.settings[kInstallDir];
    if (!install.value.empty()) {
        uint32_t attributes = state.sys.file_attributes(install.value);
        if (attributes != kInvalidFileAttributes && !(attributes & kFileAttributeDirectory)) {
            warn_value(state, kMsgPathMissing, install, warning);
        }
    }
}

void check_switches(RunState& state, bool* warning) {
    for (int row : {kStorageEmc, kStorageEva, kZovaCore, kRestart}) {
        SettingEntry& entry = state.settings[row];
        if (entry.value.empty()) {
            entry.value = "n";
        } else if (!equals_ignore_case(entry.value, "y") && !equals_ignore_case(entry.value, "n")) {
            warn_value(state, kMsgBadDefinition, entry, warning);
        }
    }
}

void check_component_choice(RunState& state, bool* warning) {
    if (!equals_ignore_case(state.value(kZovaCore), "y")) {
        return;
    }
    if (equals_ignore_case(query_installed_option(state, kInstalledOptionSize), "All")) {
        note_warning(state, kMsgCoreOverAll, state.settings[kZovaCore].key, state.value(kZovaCore));
        warn(state, get_message(state, kMsgCoreOverAll), warning);
        state.value(kZovaCore).clear();
    }
}

int fail_temp_folder(RunState& state, int error) {
    report(state, message_text(state, kMsgFileIoError, error, kCodeTempFolder), kToConsole);
    return kStatusNoDefault;
}

int default_work_folder(RunState& state) {
    std::string folder;
    int error = state.sys.temp_path(&folder);
    error = text_error(state.sys, error, folder, kPathBufferSize);
    if (error != 0) {
        return fail_temp_folder(state, error);
    }
    // A folder that leaves no room for the file names is a name too long
    // too. Work-file paths are never cut: two cut paths could name the same
    // file.
    if (folder.size() + 1 + kLongestWorkFileName > kMaxPath) {
        return fail_temp_folder(state, state.sys.name_too_long_error());
    }
    // The folder becomes a line of setup.iss: a line break in its name would
    // add lines of its own choosing there.
    if (folder.find_first_of("\r\n") != std::string::npos) {
        return fail_temp_folder(state, state.sys.invalid_name_error());
    }
    state.value(kWorkDir) = folder;
    return kStatusOk;
}

}  // namespace

bool is_valid_value(const std::string& value, ValueKind kind) {
    if (kind == ValueKind::Text) {
        return true;
    }
    bool digit = false;
    bool non_digit = false;
    bool special = false;
    for (char c : value) {
        unsigned char byte = static_cast<unsigned char>(c);
        (is_digit(byte) ? digit : non_digit) = true;
        special = special || is_batch_special(byte);
    }
    if (digit && non_digit) {
        return false;
    }
    if (kind == ValueKind::Alphabetic) {
        return !digit && !special;
    }
    return !non_digit;
}

std::string query_installed_option(RunState& state, uint32_t size) {
    std::string option;
    // The key path is a registry path: backslashes on every platform.
    RegistryAnswer answer = state.sys.registry_value("SOFTWARE\\KESTRON\\PathSentryMultiway",
                                                     "InstallationOption", &option);
    if (answer == RegistryAnswer::Ok && !fits_buffer(option, size)) {
        answer = RegistryAnswer::ValueTooLarge;
    }
    switch (answer) {
        case RegistryAnswer::KeyMissing:
        case RegistryAnswer::ValueTooLarge:
            return std::string();
        case RegistryAnswer::ValueMissing:
            return "All";
        case RegistryAnswer::Ok:
            break;
    }
    return std::string(option.c_str());
}

void note_warning(RunState& state, int message, const char* key, const std::string& value) {
    SettingWarning noted;
    noted.message = message;
    noted.key = key;
    noted.value = value;
    state.outcome.warnings.push_back(noted);
}

int validate_settings(RunState& state, bool* warning) {
    kind_pass(state, warning);
    check_file_version(state, warning);
    check_folders(state, warning);
    check_switches(state, warning);
    check_component_choice(state, warning);
    if (state.value(kWorkDir).empty() && default_work_folder(state) != kStatusOk) {
        return kStatusNoDefault;
    }
    if (state.value(kInstallDir).empty() &&
        default_install_dir(state, &state.value(kInstallDir), kInstallDirSize) != kStatusOk) {
        return kStatusNoDefault;
    }
    if (equals_ignore_case(state.value(kRestart), "y")) {
        state.reboot_requested.store(true);
    }
    return kStatusOk;
}

}  // namespace iz
