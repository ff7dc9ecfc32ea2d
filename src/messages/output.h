// All output of the program but the replay of the installer's lines: the
// console, and the run log once open_run_log has recorded it. Any thread may
// call these; each run-log line is one append of the whole line.
#pragma once

#include <string>

#include "messages/catalogue.h"
#include "platform/system.h"

namespace iz {

struct RunState;

// Location codes of this module.
const int kCodeCheckStart = 300298;
const int kCodeRunLogOpen = 300316;

// The `to_console` of report: on the console as well, or in the run log only.
// Only kToConsole reaches the console; any other value means the run log only.
const int kToConsole = 1;
const int kRunLogOnly = 0;

// Stands for a carriage return or line feed inside a reported text.
const char kLineBreakSubstitute = '?';

// Prints `text` and a line feed when `to_console` is kToConsole, and appends it as a
// dated line to the run log once one is recorded. A line that cannot be
// appended is lost without a word. The text may carry names and values from
// outside, so each CR and LF in it is shown as kLineBreakSubstitute: one call
// is one line, and no outside text can forge a run-log line.
void report(RunState& state, const std::string& text, int to_console);

// Reports a catalogue text as it stands, its own line feeds included (a
// line of its own without a prefix in the run log), on the console too.
void report_message(RunState& state, MessageId id);

// Appends a maintenance-data line (message 2) with the location code; never
// shown on the console, and nothing at all before the run log is recorded.
void trace(RunState& state, int code, const std::string& text);

// Records the run log and writes this run's start line to it. Returns 0, or 7
// after reporting message 1 when the run log cannot be opened for appending.
// Prints message 3 on the console for an installation run without warnings.
int open_run_log(RunState& state, const std::string& path, int check, int warned);

// "INFO" and the 10-character date field and the time: the 25 characters
// before the text of every run-log line.
std::string run_log_prefix(const LocalTime& time);

// Formats a catalogue message with its arguments, cut to 255 bytes.
std::string message_text(RunState& state, int id, ...);

}  // namespace iz
