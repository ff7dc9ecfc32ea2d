#include "messages/replay.h"

#include <cstring>
#include <memory>

#include "core/run_state.h"
#include "messages/log_pieces.h"
#include "platform/system.h"

namespace iz {

namespace {

const size_t kTextOffset = 25;
const size_t kIdLength = 9;
const char kSkipId[] = "QIRU09179";
const char* const kCompletionIds[] = {"QIRU09181", "QIRU09182", "QIRU09259", "QIRU09260"};
const size_t kEchoChunk = 64 * 1024;

bool text_begins_with(const std::string& piece, const char* id) {
    return piece.size() >= kTextOffset + kIdLength &&
           std::memcmp(piece.data() + kTextOffset, id, kIdLength) == 0;
}

void flush_echo(RunState& state, std::string* shown) {
    if (!shown->empty()) {
        state.sys.write_console(shown->data(), shown->size());
        shown->clear();
    }
}

}  // namespace

bool replay_piece(const std::string& piece, std::string* shown) {
    if (text_begins_with(piece, kSkipId)) {
        return false;
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

void replay_installer_log(RunState& state, int* completed) {
    *completed = 0;
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
    PieceReader reader(*file, start);
    std::string piece;
    std::string shown;
    std::string unshown;
    reader.next(&piece);  // the start line itself is neither shown nor tested
    while (reader.next(&piece)) {
        if (replay_piece(piece, first ? &shown : &unshown)) {
            *completed = 1;
        }
        unshown.clear();
        if (shown.size() >= kEchoChunk) {
            flush_echo(state, &shown);
        }
    }
    flush_echo(state, &shown);
}

}  // namespace iz
