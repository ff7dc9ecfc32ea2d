// All output of the program but the replay of the installer's lines: the
// console, and the run log once open_run_log has recorded it. Any thread may
// call these; each run-log line is one append of the whole line.
#pragma once

#include <atomic>
#include <string>

#include "core/status.h"
#include "messages/catalogue.h"
#include "platform/system.h"

namespace iz {

// Location codes of this module.
const int kCodeCheckStart = 300298;
const int kCodeRunLogOpen = 300316;

// Where report puts a text: on the console and in the run log, or in the
// run log only.
enum class Sink { Console, RunLogOnly };

// Stands for a carriage return or line feed inside a reported text.
const char kLineBreakSubstitute = '?';

// The run's messages: their language, decided on first use, and the run log
// they go to once it is recorded (its path and this run's start line,
// published once for every thread).
class Output {
  public:
    explicit Output(System& sys) : sys_(sys) {}

    // The language of the messages, deciding it on first use. Two threads
    // may decide at once; both reach the same answer.
    Language language();
    bool run_log_recorded() const { return recorded_.load(); }
    // Valid once run_log_recorded() is true.
    const std::string& run_log_path() const { return run_log_path_; }
    const std::string& start_line() const { return start_line_; }
    // Writes the bytes to the console unchanged.
    void write_console(const std::string& bytes) { sys_.write_console(bytes.data(), bytes.size()); }
    // Appends one line to the recorded run log; 0 or the error number.
    int append_line(const std::string& line);
    LocalTime local_time() { return sys_.local_time(); }
    bool is_lead_byte(unsigned char byte) {
        return sys_.is_lead_byte(byte, language_.load() == Language::Japanese);
    }

    // Records the run log and its start line; once only.
    void record_run_log(const std::string& path, const std::string& start_line);

  private:
    System& sys_;
    std::atomic<Language> language_{Language::Undecided};
    std::string run_log_path_;
    std::string start_line_;
    std::atomic<bool> recorded_{false};
};

// Prints `text` and a line feed when `sink` is Sink::Console, and appends it
// as a dated line to the run log once one is recorded. A line that cannot be
// appended is lost without a word. The text may carry names and values from
// outside, so each CR and LF in it is shown as kLineBreakSubstitute: one call
// is one line, and no outside text can forge a run-log line.
void report(Output& out, const std::string& text, Sink sink);

// Reports a catalogue text as it stands, its own line feeds included (a
// line of its own without a prefix in the run log), on the console too.
void report_message(Output& out, MessageId id);

// Appends a maintenance-data line (QIRU09179) with the location code; never
// shown on the console, and nothing at all before the run log is recorded.
void trace(Output& out, int code, const std::string& text);

// Records the run log and writes this run's start line to it. Returns
// Status::Ok, or Status::RunLog after reporting QIRU09034 when the run log
// cannot be opened for appending. Prints QIRU09180 on the console for an
// installation run without warnings.
Status open_run_log(Output& out, const std::string& path, bool check, bool warned);

// "INFO" and the 10-character date field and the time: the 25 characters
// before the text of every run-log line.
std::string run_log_prefix(const LocalTime& time);

// Formats a catalogue text with its arguments, cut to 255 bytes.
std::string format_message(Output& out, const char* format, ...);

// Formats message `id` with its arguments (they stand beside it in
// catalogue.h), cut to 255 bytes.
template <typename... Args>
std::string message_text(Output& out, MessageId id, Args... args) {
    return format_message(out, get_message(out, id), args...);
}

}  // namespace iz
