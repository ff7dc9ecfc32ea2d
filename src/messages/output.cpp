#include "messages/output.h"

#include <cstdarg>

#include "messages/catalogue.h"
#include "messages/text.h"

namespace iz {

Language Output::language() {
    Language language = language_.load();
    if (language == Language::Undecided) {
        language = detect_language(sys_);
        language_.store(language);
    }
    return language;
}

int Output::append_line(const std::string& line) {
    return sys_.append_to_file(run_log_path_, to_text_mode(line + "\n"));
}

void Output::record_run_log(const std::string& path, const std::string& start_line) {
    run_log_path_ = path;
    start_line_ = start_line;
    recorded_.store(true);
}

std::string run_log_prefix(const LocalTime& time) {
    std::string date = format_unbounded("%d-%d-%d", time.month, time.day, time.year);
    return format_unbounded("INFO %10s %02d:%02d:%02d ", date.c_str(), time.hour, time.minute,
                            time.second);
}

std::string format_message(Output& out, const char* format, ...) {
    va_list args;
    va_start(args, format);
    // The format is a catalogue text, which the compiler cannot see; the
    // arguments each message takes stand beside its id in catalogue.h.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    std::string text = vformat_unbounded(format, args);
#pragma GCC diagnostic pop
    va_end(args);
    return limit_text(out, text);
}

static std::string one_line(const std::string& text) {
    std::string line = text;
    for (char& c : line) {
        c = (c == '\n' || c == '\r') ? kLineBreakSubstitute : c;
    }
    return line;
}

static void emit(Output& out, const std::string& text, Sink sink) {
    if (sink == Sink::Console) {
        out.write_console(text + "\n");
    }
    if (!out.run_log_recorded()) {
        return;
    }
    out.append_line(run_log_prefix(out.local_time()) + text);
}

void report(Output& out, const std::string& text, Sink sink) {
    emit(out, one_line(text), sink);
}

void report_message(Output& out, MessageId id) {
    emit(out, get_message(out, id), Sink::Console);
}

void trace(Output& out, int code, const std::string& text) {
    report(out, message_text(out, kMsgMaintenance, code, text.c_str()), Sink::RunLogOnly);
}

Status open_run_log(Output& out, const std::string& path, bool check, bool warned) {
    LocalTime now = out.local_time();
    std::string start_text = (check || warned) ? message_text(out, kMsgMaintenance, kCodeCheckStart,
                                                              "Installation check starts.")
                                               : std::string(get_message(out, kMsgInstallStart));
    out.record_run_log(path, limit_text(out, run_log_prefix(now) + start_text));

    int error = out.append_line(out.start_line());
    if (error != 0) {
        report(out, message_text(out, kMsgInternalError, error, kCodeRunLogOpen), Sink::Console);
        return Status::RunLog;
    }
    if (!check && !warned) {
        out.write_console(std::string(get_message(out, kMsgInstallStart)) + "\n");
    }
    return Status::Ok;
}

}  // namespace iz
