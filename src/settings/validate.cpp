#include "settings/validate.h"

#include "core/ascii.h"
#include "core/limits.h"
#include "core/windows_buffer.h"
#include "core/work_file_names.h"
#include "messages/catalogue.h"
#include "messages/output.h"
#include "messages/text.h"
#include "platform/system.h"
#include "settings/install_dir.h"
#include "settings/settings_table.h"

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

// Where the checks report and what they change.
struct Checking {
    System& sys;
    Output& out;
    Settings& settings;
    bool* warning;

    std::string& value(SettingIndex row) { return settings.table[row].value; }
};

void warn(Checking& c, const std::string& text) {
    report(c.out, text, Sink::Console);
    *c.warning = true;
}

void warn_value(Checking& c, MessageId id, SettingEntry& entry) {
    note_warning(&c.settings, id, entry.key, entry.value);
    warn(c, message_text(c.out, id, entry.key, entry.value.c_str()));
    entry.value.clear();
}

void kind_pass(Checking& c) {
    for (SettingEntry& entry : c.settings.table) {
        if (!is_valid_value(entry.value, entry.kind)) {
            warn_value(c, kMsgBadDefinition, entry);
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

void check_file_version(Checking& c) {
    std::string& version = c.value(kFileVersion);
    if (version.empty() || sorts_after(version, kSupportedFileVersion)) {
        note_warning(&c.settings, kMsgUnsupportedVersion, c.settings.table[kFileVersion].key,
                     version);
        warn(c, message_text(c.out, kMsgUnsupportedVersion, c.value(kZovaVersion).c_str()));
        version = kSupportedFileVersion;
    }
}

void check_folders(Checking& c) {
    SettingEntry& work = c.settings.table[kWorkDir];
    if (!work.value.empty()) {
        uint32_t attributes = c.sys.file_attributes(work.value);
        if (attributes == kInvalidFileAttributes || !(attributes & kFileAttributeDirectory)) {
            warn_value(c, kMsgPathMissing, work);
        }
    }
    SettingEntry& install = c.settings.table[kInstallDir];
    if (!install.value.empty()) {
        uint32_t attributes = c.sys.file_attributes(install.value);
        if (attributes != kInvalidFileAttributes && !(attributes & kFileAttributeDirectory)) {
            warn_value(c, kMsgPathMissing, install);
        }
    }
}

void check_switches(Checking& c) {
    for (SettingIndex row : {kStorageEmc, kStorageEva, kZovaCore, kRestart}) {
        SettingEntry& entry = c.settings.table[row];
        if (entry.value.empty()) {
            entry.value = "n";
        } else if (!equals_ignore_case(entry.value, "y") && !equals_ignore_case(entry.value, "n")) {
            warn_value(c, kMsgBadDefinition, entry);
        }
    }
}

void check_component_choice(Checking& c) {
    if (!equals_ignore_case(c.value(kZovaCore), "y")) {
        return;
    }
    if (equals_ignore_case(query_installed_option(c.sys, kInstalledOptionSize), "All")) {
        note_warning(&c.settings, kMsgCoreOverAll, c.settings.table[kZovaCore].key,
                     c.value(kZovaCore));
        warn(c, get_message(c.out, kMsgCoreOverAll));
        c.value(kZovaCore).clear();
    }
}

Status fail_temp_folder(Output& out, int error) {
    report(out, message_text(out, kMsgFileIoError, error, kCodeTempFolder), Sink::Console);
    return Status::NoDefault;
}

Status default_work_folder(System& sys, Output& out, std::string* work_folder) {
    std::string folder;
    int error = sys.temp_path(&folder);
    error = text_error(sys, error, folder, kPathBufferSize);
    if (error != 0) {
        return fail_temp_folder(out, error);
    }
    // A folder that leaves no room for the file names is a name too long
    // too. Work-file paths are never cut: two cut paths could name the same
    // file.
    if (folder.size() + 1 + kLongestWorkFileName > kMaxPath) {
        return fail_temp_folder(out, sys.name_too_long_error());
    }
    // The folder becomes a line of setup.iss: a line break in its name would
    // add lines of its own choosing there.
    if (folder.find_first_of("\r\n") != std::string::npos) {
        return fail_temp_folder(out, sys.invalid_name_error());
    }
    *work_folder = folder;
    return Status::Ok;
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

std::string query_installed_option(System& sys, uint32_t size) {
    std::string option;
    // The key path is a registry path: backslashes on every platform.
    RegistryAnswer answer =
        sys.registry_value("SOFTWARE\\KESTRON\\PathSentryMultiway", "InstallationOption", &option);
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

void note_warning(Settings* settings, MessageId message, const char* key,
                  const std::string& value) {
    SettingWarning noted;
    noted.message = message;
    noted.key = key;
    noted.value = value;
    settings->warnings.push_back(noted);
}

Status validate_settings(System& sys, Output& out, Settings* settings, bool* warning) {
    Checking c{sys, out, *settings, warning};
    kind_pass(c);
    check_file_version(c);
    check_folders(c);
    check_switches(c);
    check_component_choice(c);
    if (c.value(kWorkDir).empty() &&
        default_work_folder(sys, out, &c.value(kWorkDir)) != Status::Ok) {
        return Status::NoDefault;
    }
    if (c.value(kInstallDir).empty() &&
        default_install_dir(sys, out, &c.value(kInstallDir), kInstallDirSize) != Status::Ok) {
        return Status::NoDefault;
    }
    settings->reboot_requested = equals_ignore_case(c.value(kRestart), "y");
    return Status::Ok;
}

}  // namespace iz
