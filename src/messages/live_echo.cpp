#include "messages/live_echo.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>

#include "core/run_state.h"
#include "messages/log_pieces.h"
#include "messages/replay.h"
#include "platform/system.h"

namespace iz {

namespace {

const size_t kEchoChunk = 64 * 1024;
// How much of what was shown last is read again to tell that the log still
// is the one followed.
const int64_t kTailCheck = 256;

void write_out(RunState& state, std::string* shown) {
    if (!shown->empty()) {
        state.sys.write_console(shown->data(), shown->size());
        shown->clear();
    }
}

// The raw offset behind the start line at `start`.
int64_t after_start_line(ReadableFile& file, int64_t start) {
    PieceReader reader(file, start);
    std::string piece;
    reader.next(&piece);
    return reader.position();
}

// Whether the file is still the run log being followed: the installer only
// appends, so it may neither have become shorter than what was shown nor
// hold other bytes where this run's start line and the end of what was shown
// were read. Anything else stops the echo: a line shown twice, or one shown
// from another log, is worse than one left out.
bool still_followed(RunState& state, ReadableFile& file) {
    EchoPosition& echo = state.echo;
    int64_t tail_at = echo.next - static_cast<int64_t>(echo.shown_tail.size());
    if (!echo.stopped &&
        (file.size() < echo.next || !starts_with_at(file, echo.start, state.start_line) ||
         !starts_with_at(file, tail_at, echo.shown_tail))) {
        echo.stopped = true;
    }
    return !echo.stopped;
}

void remember_tail(EchoPosition& echo, ReadableFile& file) {
    int64_t count = std::min(kTailCheck, echo.next - echo.start);
    std::string tail(static_cast<size_t>(count), '\0');
    // A short read leaves nothing to compare rather than bytes from elsewhere.
    bool whole = file.read_at(echo.next - count, &tail[0], count) == count;
    echo.shown_tail = whole ? tail : std::string();
}

// Shows the pieces from `*next` on and moves `*next` behind them. With
// `whole_lines` a physical line is shown only once its line end is there, so
// that no line is ever printed in parts; the pieces of a line go out in one
// console write.
void show_from(RunState& state, ReadableFile& file, int64_t* next, bool whole_lines) {
    PieceReader reader(file, *next);
    std::string piece;
    std::string line;
    std::string shown;
    while (reader.next(&piece)) {
        replay_piece(piece, &line);
        bool line_end = piece.back() == '\n';
        if (!line_end && whole_lines) {
            continue;
        }
        shown += line;
        line.clear();
        *next = reader.position();
        if (line_end && shown.size() >= kEchoChunk) {
            write_out(state, &shown);
        }
    }
    write_out(state, &shown);
}

}  // namespace

void follow_installer_log(RunState& state) {
    std::lock_guard<std::mutex> lock(state.echo.lock);
    if (state.log_replayed.load() || state.echo.stopped || !state.run_log_recorded.load()) {
        return;
    }
    // Most looks find a quiet installer: a size asked by name is much cheaper
    // than opening the file as a work file, and so is not reading it again.
    int64_t size = state.sys.file_size(state.run_log_path);
    if (size >= 0 && size == state.echo.looked_at_size) {
        return;
    }
    std::unique_ptr<ReadableFile> file = state.sys.open_for_reading(state.run_log_path);
    if (!file) {
        return;
    }
    state.echo.looked_at_size = size;
    if (state.echo.start < 0) {
        // Searched once, from the end: the cost does not grow with the
        // history of earlier runs in front of this one.
        int64_t start = find_last_start(*file, state.start_line);
        if (start < 0) {
            return;
        }
        state.echo.start = start;
        state.echo.next = after_start_line(*file, start);
    }
    if (still_followed(state, *file)) {
        show_from(state, *file, &state.echo.next, true);
        remember_tail(state.echo, *file);
    }
}

bool echo_unshown(RunState& state, ReadableFile& file, int64_t start) {
    EchoPosition& echo = state.echo;
    if (echo.start < 0) {
        // Never followed: all of this run's part is left to show.
        int64_t next = after_start_line(file, start);
        show_from(state, file, &next, echo.installer_running);
        return true;
    }
    if (!still_followed(state, file)) {
        return false;
    }
    show_from(state, file, &echo.next, echo.installer_running);
    remember_tail(echo, file);
    return true;
}

int wait_following_run_log(RunState& state, const ProcessHandle& process) {
    {
        std::lock_guard<std::mutex> lock(state.echo.lock);
        state.echo.installer_running = true;
    }
    bool ended = false;
    while (!ended) {
        int error = state.sys.wait_process_for(process, kFollowPeriodMs, &ended);
        if (error != 0) {
            return error;
        }
        if (!ended) {
            follow_installer_log(state);
        }
    }
    std::lock_guard<std::mutex> lock(state.echo.lock);
    state.echo.installer_running = false;
    return 0;
}

}  // namespace iz
