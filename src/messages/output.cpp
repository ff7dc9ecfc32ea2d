#include "messages/output.h"

#include <cstdarg>

#include "core/run_state.h"
#include "core/status.h"
#include "messages/catalogue.h"
#include "messages/text.h"

namespace iz {

std::string run_log_prefix(const LocalTime& time) {
    std::string date = format_unbounded("%d-%d-%d", time.month, time.day, time.year);
    return format_unbounded("INFO %10s %02d:%02d:%02d ", date.c_str(), time.hour, time.minute,
                            time.second);
}

std::string message_text(RunState& state, int id, ...) {
    va_list args;
    va_start(args, id);
    // The format is the catalogue text of `id`, which the compiler cannot see;
    // the arguments each message takes stand beside its id in catalogue.h.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    std::string text = vformat_unbounded(get_message(state, static_cast<MessageId>(id)), args);
#pragma GCC diagnostic pop
    va_end(args);
    return limit_text(state, text);
}

static int append_line(RunState& state, const std::string& line) {
    return state.sys.append_to_file(state.run_log_path, to_text_mode(line + "\n"));
}

static std::string one_line(const std::string& text) {
    std::string line = text;
    for (char& c : line) {
        c = (c == '\n' || c == '\r') ? kLineBreakSubstitute : c;
    }
    return line;
}

static void emit(RunState& state, const std::string& text, int to_console) {
    if (to_console == kToConsole) {
        std::string shown = text + "\n";
        state.sys.write_console(shown.data(), shown.size());
    }
    if (!state.run_log_recorded.load()) {
        return;
    }
    append_line(state, run_log_prefix(state.sys.local_time()) + text);
}

void report(RunState& state, const std::string& text, int to_console) {
    emit(state, one_line(text), to_console);
}

void report_message(RunState& state, MessageId id) {
    emit(state, get_message(state, id), kToConsole);
}

void trace(RunState& state, int code, const std::string& text) {
    report(state, message_text(state, kMsgMaintenance, code, text.c_str()), kRunLogOnly);
}

int open_run_log(RunState& state, const std::string& path, int check, int warned) {
    LocalTime now = state.sys.local_time();
    std::string start_text =
        (check != 0 || warned != 0)
            ? message_text(state, kMsgMaintenance, kCodeCheckStart, "Installation check starts.")
            : std::string(get_message(state, kMsgInstallStart));
    state.run_log_path = path;
    state.start_line = limit_text(state, run_log_prefix(now) + start_text);
    state.run_log_recorded.store(true);

    int error = append_line(state, state.start_line);
    if (error != 0) {
        report(state, message_text(state, kMsgInternalError, error, kCodeRunLogOpen), kToConsole);
        return kStatusRunLog;
    }
    if (check == 0 && warned == 0) {
        std::string shown = std::string(get_message(state, kMsgInstallStart)) + "\n";
        state.sys.write_console(shown.data(), shown.size());
    }
    return kStatusOk;
}

}  // namespace iz
