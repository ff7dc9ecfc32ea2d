// The settings of a run as load_settings read, validated and completed them.
// Built once before anything is written; the rest of the run only reads them.
#pragma once

#include <string>
#include <vector>

#include "messages/catalogue.h"
#include "settings/program_settings.h"
#include "settings/settings_table.h"

namespace iz {

// A warning the settings drew: the message, the key and its value as the
// settings file holds it.
struct SettingWarning {
    MessageId message = kMsgBadDefinition;
    std::string key;
    std::string value;
};

struct Settings {
    SettingsTable table = make_settings_table();
    // The settings file's full path; empty until it was found.
    std::string settings_full_path;
    ProgramSettings program;
    // restart=y: the installer may restart the machine after it completed.
    bool reboot_requested = false;
    std::vector<SettingWarning> warnings;

    const std::string& value(SettingIndex row) const { return table[row].value; }
};

}  // namespace iz
