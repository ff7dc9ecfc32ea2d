// The fixed table of settings keys: every key the program reads, with its
// section, capacity and value kind, in the order of reading, validation,
// messages and trace lines.
#pragma once

#include <array>
#include <cstdint>
#include <string>

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

}  // namespace iz
