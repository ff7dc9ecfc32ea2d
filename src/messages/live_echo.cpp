#include "messages/live_echo.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>

#include "core/run_state.h"
#include "messages/catalogue.h"
#include "messages/log_pieces.h"
#include "messages/output.h"
#include "messages/replay.h"
#include "platform/system.h"

namespace iz {

namespace {

const size_t kEchoChunk = 64 * 1024;
// How much of what was shown last is read again to tell that the log still
// is the one followed.
const int64_t kTailCheck = 256;
// How much of the last line shown the notice about a silent installer quotes.
const size_t kLastLineCut = 160;

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

void remember_last_line(EchoPosition& echo, const std::string& line) {
    size_t end = line.size() - (line.back() == '\n' ? 1 : 0);
    echo.last_line = line.substr(0, std::min(end, kLastLineCut));
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
        if (!line.empty() && line != "\n") {
            remember_last_line(state.echo, line);
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

// Tells, now and then, that a silent installer is still running: a slow
// installation is never cut short, but nobody should take it for a hung one.
class SilenceWatch {
  public:
    explicit SilenceWatch(RunState& state)
        : state_(state),
          period_ms_(state.program.silence_notice_seconds * 1000),
          started_(state.sys.monotonic_ms()),
          quiet_since_(started_),
          next_notice_(started_ + period_ms_) {}

    void look(bool grew, const ProcessHandle& process) {
        int64_t now = state_.sys.monotonic_ms();
        if (grew) {
            quiet_since_ = now;
            next_notice_ = now + period_ms_;
        } else if (period_ms_ > 0 && now >= next_notice_) {
            notify(now, process);
            next_notice_ += period_ms_;
        }
    }

  private:
    void notify(int64_t now, const ProcessHandle& process) {
        std::string last;
        {
            std::lock_guard<std::mutex> lock(state_.echo.lock);
            last = state_.echo.last_line;
        }
        report(state_,
               message_text(state_, kMsgInstallerSilent, static_cast<int>(process.id),
                            static_cast<int>((now - started_) / 1000),
                            static_cast<int>((now - quiet_since_) / 1000), last.c_str()),
               kToConsole);
        // The notice's own line is no sign of life from the installer.
        std::lock_guard<std::mutex> lock(state_.echo.lock);
        state_.echo.looked_at_size = state_.sys.file_size(state_.run_log_path);
    }

    RunState& state_;
    const int64_t period_ms_;
    const int64_t started_;
    int64_t quiet_since_;
    int64_t next_notice_;
};

}  // namespace

bool follow_installer_log(RunState& state) {
    std::lock_guard<std::mutex> lock(state.echo.lock);
    if (state.log_replayed.load() || state.echo.stopped || !state.run_log_recorded.load()) {
        return false;
    }
    // Most looks find a quiet installer: a size asked by name is much cheaper
    // than opening the file as a work file, and so is not reading it again.
    int64_t size = state.sys.file_size(state.run_log_path);
    if (size >= 0 && size == state.echo.looked_at_size) {
        return false;
    }
    std::unique_ptr<ReadableFile> file = state.sys.open_for_reading(state.run_log_path);
    if (!file) {
        return false;
    }
    state.echo.looked_at_size = size;
    if (state.echo.start < 0) {
        // Searched once, from the end: the cost does not grow with the
        // history of earlier runs in front of this one.
        int64_t start = find_last_start(*file, state.start_line);
        if (start < 0) {
            return true;
        }
        state.echo.start = start;
        state.echo.next = after_start_line(*file, start);
    }
    if (still_followed(state, *file)) {
        show_from(state, *file, &state.echo.next, true);
        remember_tail(state.echo, *file);
    }
    return true;
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
    SilenceWatch silence(state);
    bool ended = false;
    while (!ended) {
        int error = state.sys.wait_process_for(process, kFollowPeriodMs, &ended);
        if (error != 0) {
            return error;
        }
        if (!ended) {
            silence.look(follow_installer_log(state), process);
        }
    }
    std::lock_guard<std::mutex> lock(state.echo.lock);
    state.echo.installer_running = false;
    return 0;
}

}  // namespace iz
