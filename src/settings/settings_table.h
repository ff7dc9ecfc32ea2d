// The fixed table of settings keys: every key the program reads, with its
// section, capacity and value kind, in the order of reading, validation,
// messages and trace lines; and the run's settings, the value built from it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "messages/catalogue.h"
#include "settings/program_settings.h"

namespace iz {

enum class ValueKind { Text = 0, Alphabetic = 1, Numeric = 2 };

struct SettingEntry {
    const char* section;
    const char* key;
    const char* default_value;
    // The current value; empty means not set. Never longer than `capacity`
    // once the read pass is over, except a work folder taken from the system.
    std::string value;
    uint32_t capacity;
    // What the last read of the key returned. The trace reads every key
    // again and records it here; the values themselves stay as loaded.
    mutable uint32_t returned_length;
    ValueKind kind;
};

// Row indexes, in table order.
enum SettingIndex : int {
    kFileVersion,
    kZovaVersion,
    kInstallFileLocation,
    kWorkDir,
    kInstallDir,
    kStorageEmc,
    kStorageEva,
    kZovaCore,
    kRestart,
    kLoadBalance,
    kLoadBalanceType,
    kErrorLogLevel,
    kErrorLogSize,
    kErrorLogNumber,
    kTraceLevel,
    kTraceFileSize,
    kTraceFileNumber,
    kPathHealthCheck,
    kPathHealthCheckInterval,
    kAutoFailback,
    kAutoFailbackInterval,
    kIntermittentErrorMonitor,
    kIntermittentErrorMonitorInterval,
    kIntermittentErrorMonitorNumber,
    kLbexUsetimesLimit,
    kRemoveLu,
    kRemoveLuForce,
    kSettingCount
};

using SettingsTable = std::array<SettingEntry, kSettingCount>;

// A fresh table: every value empty.
SettingsTable make_settings_table();

// A warning the settings drew: the message, the key and its value as the
// settings file holds it.
struct SettingWarning {
    MessageId message = kMsgBadDefinition;
    std::string key;
    std::string value;
};

// The settings of a run as load_settings read, validated and completed them.
// Built once before anything is written; the rest of the run only reads them.
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
