// Second stage of reading the settings: every value checked against its kind,
// the file version, the folders, the switches, the component choice, the
// defaults of the work folder and installation folder, the reboot request.
#pragma once

#include <cstdint>
#include <string>

#include "core/status.h"
#include "messages/catalogue.h"
#include "settings/settings_table.h"

namespace iz {

class Output;
class System;
struct Settings;

const int kCodeTempFolder = 100558;
// The buffer the product's "InstallationOption" is read into.
const uint32_t kInstalledOptionSize = 8;

// Validates and completes the table in place; every problem is reported on
// the console, clears or replaces the value and sets `warning`. Returns
// Status::Ok, or Status::NoDefault when a default that depends on the system
// cannot be had.
Status validate_settings(System& sys, Output& out, Settings* settings, bool* warning);

// Text: always valid. Alphabetic: no decimal digit, and none of the bytes a
// command interpreter treats specially (& | < > ^ % ") or below 0x20, since
// such values end up in a batch file. Numeric: decimal digits only. The empty
// value is valid for every kind.
bool is_valid_value(const std::string& value, ValueKind kind);

// The "InstallationOption" of an existing installation, from the registry:
// empty when the product's key is missing; "All" when the key has no such
// value; empty when the value is too long for `size` bytes as a terminated
// text (it cannot be "All" then). Never reads or writes past `size` bytes.
std::string query_installed_option(System& sys, uint32_t size);

// Keeps a warning about `key` for the result record: `value` is the value as
// the settings file holds it.
void note_warning(Settings* settings, MessageId message, const char* key, const std::string& value);

}  // namespace iz
