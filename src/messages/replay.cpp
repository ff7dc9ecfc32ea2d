#include "messages/replay.h"

#include <cstring>
#include <memory>
#include <mutex>

#include "core/run_state.h"
#include "messages/live_echo.h"
#include "messages/log_pieces.h"
#include "platform/system.h"

namespace iz {

namespace {

const size_t kTextOffset = 25;
const size_t kIdLength = 9;
// The program's own lines after the start line: its maintenance data, and
// what it says there about the machine and a silent installer. They are not
// the installer's lines.
const char* const kSkipIds[] = {"QIRU09179", "QIRU09302", "QIRU09304", "QIRU09306"};
const char* const kCompletionIds[] = {"QIRU09181", "QIRU09182", "QIRU09259", "QIRU09260"};

bool text_begins_with(const std::string& piece, const char* id) {
    return piece.size() >= kTextOffset + kIdLength &&
           std::memcmp(piece.data() + kTextOffset, id, kIdLength) == 0;
}

}  // namespace

bool replay_piece(const std::string& piece, std::string* shown) {
    for (const char* id : kSkipIds) {
        if (text_begins_with(piece, id)) {
            return false;
        }
    }
    if (piece.compare(0, 4, "INFO") == 0) {
        if (piece.size() > kTextOffset) {
            shown->append(piece, kTextOffset, std::string::npos);
        }
    } else {
        shown->append(piece);
    }
    for (const char* id : kCompletionIds) {
        if (text_begins_with(piece, id)) {
            return true;
        }
    }
    return false;
}

namespace {

// Whether a completion marker follows the start line at `start`.
int completion_follows(ReadableFile& file, int64_t start) {
    PieceReader reader(file, start);
    std::string piece;
    std::string unshown;
    int completed = 0;
    reader.next(&piece);  // the start line itself is not tested
    while (reader.next(&piece)) {
        if (replay_piece(piece, &unshown)) {
            completed = 1;
        }
        unshown.clear();
    }
    return completed;
}

}  // namespace

void replay_installer_log(RunState& state, int* completed) {
    *completed = 0;
    // The echo that followed the log while the installer ran, and the
    // console control handler, share one position: whoever holds the lock
    // shows what is left, so no line is shown twice or in parts.
    std::lock_guard<std::mutex> lock(state.echo.lock);
    // Claimed before the file is opened: a call that cannot read the log still
    // counts as this run's replay.
    bool first = !state.log_replayed.exchange(true);
    if (!state.run_log_recorded.load()) {
        return;
    }
    std::unique_ptr<ReadableFile> file = state.sys.open_for_reading(state.run_log_path);
    if (!file) {
        return;
    }
    // The last match counts: an earlier run with the same start line (same
    // text, same second) must never be shown or taken as this run's result.
    int64_t start = find_last_start(*file, state.start_line);
    if (start < 0) {
        return;
    }
    // A log that shrank or was replaced under the echo is not trusted to say
    // that the installation completed.
    if (first ? !echo_unshown(state, *file, start) : state.echo.stopped) {
        return;
    }
    *completed = completion_follows(*file, start);
}

}  // namespace iz
