#include "messages/replay.h"

#include <cstring>

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

}  // namespace iz
