#include "installer/installer_watch.h"

#include <algorithm>
#include <chrono>
#include <memory>

#include "messages/catalogue.h"
#include "messages/log_pieces.h"
#include "messages/output.h"
#include "messages/replay.h"
#include "messages/text.h"
#include "platform/system.h"

namespace iz {

namespace {

// How much of what was shown last is read again to tell that the log still
// is the one followed.
const int64_t kTailCheck = 256;
// How much of the last line shown the notice about a silent installer quotes.
const size_t kLastLineCut = 160;

// The raw offset behind the start line at `start`.
int64_t after_start_line(ReadableFile& file, int64_t start) {
    PieceReader reader(file, start);
    std::string piece;
    reader.next(&piece);
    return reader.position();
}

// A piece is whole once its line ends in it, or once it is as long as a
// piece can be: the pieces that follow begin where it ends, whatever comes.
// A full piece that ends in CR at the end of what is written may yet become
// a line end (CR LF), so it waits for the next byte.
bool whole_piece(const std::string& piece, PieceReader& reader, ReadableFile& file) {
    if (piece.back() == '\n') {
        return true;
    }
    if (static_cast<int64_t>(piece.size()) < kPieceLimit) {
        return false;
    }
    return piece.back() != '\r' || reader.position() < file.size();
}

// Whether a completion marker follows the start line at `start`.
bool completion_follows(ReadableFile& file, int64_t start) {
    PieceReader reader(file, start);
    std::string piece;
    std::string unshown;
    bool completed = false;
    reader.next(&piece);  // the start line itself is not tested
    while (reader.next(&piece)) {
        if (replay_piece(piece, &unshown)) {
            completed = true;
        }
        unshown.clear();
    }
    return completed;
}

}  // namespace

InstallerWatch::InstallerWatch(System& sys, Output& out) : sys_(sys), out_(out) {}

// Whether the file is still the run log being followed: the installer only
// appends, so it may neither have become shorter than what was shown nor
// hold other bytes where this run's start line and the end of what was shown
// were read. Anything else stops the echo: a line shown twice, or one shown
// from another log, is worse than one left out.
bool InstallerWatch::still_followed(ReadableFile& file) {
    int64_t tail_at = next_ - static_cast<int64_t>(shown_tail_.size());
    if (!stopped_ && (file.size() < next_ || !starts_with_at(file, start_, out_.start_line()) ||
                      !starts_with_at(file, tail_at, shown_tail_))) {
        stopped_ = true;
    }
    return !stopped_;
}

void InstallerWatch::remember_tail(ReadableFile& file) {
    int64_t count = std::min(kTailCheck, next_ - start_);
    std::string tail(static_cast<size_t>(count), '\0');
    // A short read leaves nothing to compare rather than bytes from elsewhere.
    bool whole = file.read_at(next_ - count, &tail[0], count) == count;
    shown_tail_ = whole ? tail : std::string();
}

// The text of the pieces from `*next` on, up to about kEchoChunk bytes, and
// `*next` moved behind them; `more` says that the chunk filled up before the
// end. With `whole_lines` the last piece is taken only once it is whole.
std::string InstallerWatch::take_chunk(ReadableFile& file, int64_t* next, bool whole_lines,
                                       bool* more) {
    PieceReader reader(file, *next);
    std::string piece;
    std::string shown;
    *more = false;
    while (reader.next(&piece)) {
        if (whole_lines && !whole_piece(piece, reader, file)) {
            break;
        }
        std::string line;
        replay_piece(piece, &line);
        if (!line.empty() && line != "\n") {
            size_t end = line.size() - (line.back() == '\n' ? 1 : 0);
            last_line_ = line.substr(0, std::min(end, kLastLineCut));
        }
        shown += line;
        *next = reader.position();
        if (shown.size() >= kEchoChunk) {
            *more = true;
            break;
        }
    }
    ++writes_under_way_;
    return shown;
}

void InstallerWatch::show(const std::string& text) {
    if (!text.empty()) {
        sys_.write_console(text.data(), text.size());
    }
    MutexLock lock(mutex_);
    --writes_under_way_;
    written_.notify_all();
}

// Most looks find a quiet installer: a size asked by name is much cheaper
// than opening the file as a work file, and so is not reading it again.
bool InstallerWatch::look_changed(int64_t size) {
    if (size >= 0 && size == looked_at_size_) {
        return false;
    }
    looked_at_size_ = size;
    return true;
}

bool InstallerWatch::follow() {
    bool changed = false;
    for (bool first = true;; first = false) {
        std::string text;
        bool more = false;
        {
            MutexLock lock(mutex_);
            if (log_replayed_ || stopped_ || !out_.run_log_recorded()) {
                return changed;
            }
            if (first && !look_changed(sys_.file_size(out_.run_log_path()))) {
                return false;
            }
            std::unique_ptr<ReadableFile> file = sys_.open_for_reading(out_.run_log_path());
            if (!file) {
                looked_at_size_ = -1;  // looked at again next time
                return changed;
            }
            changed = true;
            if (start_ < 0) {
                // Searched once, from the end: the cost does not grow with
                // the history of earlier runs in front of this one.
                int64_t start = find_last_start(*file, out_.start_line());
                if (start < 0) {
                    return changed;
                }
                start_ = start;
                next_ = after_start_line(*file, start);
            }
            if (!still_followed(*file)) {
                return changed;
            }
            text = take_chunk(*file, &next_, true, &more);
            remember_tail(*file);
        }
        show(text);
        if (!more) {
            return changed;
        }
    }
}

bool InstallerWatch::show_unshown(ReadableFile& file, int64_t start) {
    // Never followed: all of this run's part is left to show.
    int64_t unfollowed_next = after_start_line(file, start);
    for (;;) {
        std::string text;
        bool more = false;
        {
            MutexLock lock(mutex_);
            if (start_ < 0) {
                text = take_chunk(file, &unfollowed_next, installer_running_, &more);
            } else if (!still_followed(file)) {
                return false;
            } else {
                text = take_chunk(file, &next_, installer_running_, &more);
                remember_tail(file);
            }
        }
        show(text);
        if (!more) {
            return true;
        }
    }
}

void InstallerWatch::replay_installer_log(bool* completed) {
    *completed = false;
    std::unique_ptr<ReadableFile> file;
    int64_t start = -1;
    bool first = false;
    {
        MutexLock lock(mutex_);
        // Claimed before the file is opened: a call that cannot read the log
        // still counts as this run's replay.
        first = !log_replayed_;
        log_replayed_ = true;
        if (!out_.run_log_recorded()) {
            return;
        }
        file = sys_.open_for_reading(out_.run_log_path());
        if (!file) {
            return;
        }
        // The last match counts: an earlier run with the same start line
        // (same text, same second) must never be shown or taken as this
        // run's result.
        start = find_last_start(*file, out_.start_line());
        if (start < 0 || (!first && stopped_)) {
            return;
        }
        // Text the main thread took is shown before what is left, unless its
        // console blocks.
        written_.wait_for(mutex_, std::chrono::milliseconds(kWriteWaitMs),
                          [this]() IZ_REQUIRES(mutex_) { return writes_under_way_ == 0; });
    }
    // A log that shrank or was replaced under the echo is not trusted to say
    // that the installation completed.
    if (first && !show_unshown(*file, start)) {
        return;
    }
    *completed = completion_follows(*file, start);
}

void InstallerWatch::set_running(bool running) {
    MutexLock lock(mutex_);
    installer_running_ = running;
}

void InstallerWatch::notify_silence(const ProcessHandle& process, int64_t run_ms,
                                    int64_t silent_ms) {
    std::string last;
    {
        MutexLock lock(mutex_);
        last = last_line_;
    }
    report(out_,
           message_text(out_, kMsgInstallerSilent, static_cast<int>(process.id),
                        whole_seconds(run_ms), whole_seconds(silent_ms), last.c_str()),
           Sink::Console);
    // The notice's own line is no sign of life from the installer.
    MutexLock lock(mutex_);
    looked_at_size_ = sys_.file_size(out_.run_log_path());
}

int InstallerWatch::wait(const ProcessHandle& process, int64_t silence_notice_seconds) {
    set_running(true);
    const int64_t period = silence_notice_seconds * 1000;
    const int64_t started = sys_.monotonic_ms();
    int64_t quiet_since = started;
    int64_t next_notice = started + period;
    bool ended = false;
    while (!ended) {
        int error = sys_.wait_process_for(process, kFollowPeriodMs, &ended);
        if (error != 0) {
            return error;
        }
        if (ended) {
            break;
        }
        bool changed = follow();
        int64_t now = sys_.monotonic_ms();
        if (changed) {
            quiet_since = now;
            next_notice = now + period;
        } else if (period > 0 && now >= next_notice) {
            notify_silence(process, now - started, now - quiet_since);
            next_notice += period;
        }
    }
    set_running(false);
    return 0;
}

int64_t InstallerWatch::start_offset() {
    MutexLock hold(mutex_);
    return start_;
}

}  // namespace iz
