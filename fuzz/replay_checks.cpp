// The backward search for this run's start line and the forward piece reader
// against the plainest reading of the run log: all of it in memory, CR LF
// turned into LF, cut into pieces at each LF or after 1023 bytes.
#include <vector>

#include "fuzz/fuzz_checks.h"
#include "installer/installer_watch.h"
#include "messages/log_pieces.h"
#include "messages/output.h"
#include "messages/replay.h"
#include "support/fake_system.h"

namespace iz {
namespace fuzz {

namespace {

const char kLogPath[] = "C:\\work\\installzova.log";
const size_t kHeaderBytes = 7;

const char* const kStartLines[] = {
    "INFO  12-8-2026 05:14:06 QIRU09180-I ZOVA installation will now start.",
    "INFO  12-8-2026 05:14:06 QIRU09179-I Data for maintenance: 00300298 Installation check "
    "starts.",
    "INFO  12-8-2026 05:14:06 QIRU09180-I \x82\x79\x82\x6E\x82\x75\x82\x60\x82\xCC\x83\x43\x83"
    "\x93\x83\x58\x83\x67\x81\x5B\x83\x8B\x82\xF0\x8A\x4A\x8E\x6E\x82\xB5\x82\xDC\x82\xB7\x81\x42",
    "INFO  1-1-2027 00:00:00 ",
};

// Where and how one copy of the start line goes into the log.
struct Plant {
    size_t position = 0;    // taken modulo the log's length + 1
    bool own_line = false;  // a CR LF goes before it
    bool crlf = false;      // ends with CR LF, else with LF
    bool bare = false;      // ends with nothing
};

struct LogInput {
    std::string start_line;
    Plant first;
    Plant second;
    bool twice = false;
    std::string log;
};

size_t position_at(const uint8_t* data) {
    return data[0] | static_cast<size_t>(data[1]) << 8 | static_cast<size_t>(data[2]) << 16;
}

void plant(const std::string& start_line, const Plant& how, std::string* log) {
    std::string text = (how.own_line ? "\r\n" : "") + start_line;
    text += how.bare ? "" : how.crlf ? "\r\n" : "\n";
    log->insert(how.position % (log->size() + 1), text);
}

LogInput parse_log(const uint8_t* data, size_t size) {
    LogInput input;
    input.start_line = kStartLines[0];
    if (size < kHeaderBytes) {
        input.log.assign(data, data + size);
        return input;
    }
    uint8_t flags = data[6];
    input.first.position = position_at(data);
    input.second.position = position_at(data + 3);
    input.twice = flags & 1;
    input.first.crlf = flags & 2;
    input.first.own_line = flags & 4;
    input.first.bare = flags & 8;
    input.start_line = kStartLines[(flags >> 4) & 3];
    input.second.crlf = flags & 64;
    input.second.own_line = flags & 128;
    input.log.assign(data + kHeaderBytes, data + size);
    plant(input.start_line, input.first, &input.log);
    if (input.twice) {
        plant(input.start_line, input.second, &input.log);
    }
    return input;
}

std::string crlf_to_lf(const std::string& raw) {
    std::string text;
    text.reserve(raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') {
            continue;
        }
        text += raw[i];
    }
    return text;
}

std::vector<std::string> cut_pieces(const std::string& text) {
    std::vector<std::string> pieces;
    std::string piece;
    for (char c : text) {
        piece += c;
        if (c == '\n' || piece.size() == static_cast<size_t>(kPieceLimit)) {
            pieces.push_back(piece);
            piece.clear();
        }
    }
    if (!piece.empty()) {
        pieces.push_back(piece);
    }
    return pieces;
}

struct Expected {
    std::string shown;
    bool completed = false;
};

Expected forward_reference(const LogInput& input) {
    std::vector<std::string> pieces = cut_pieces(crlf_to_lf(input.log));
    size_t start = pieces.size();
    for (size_t i = pieces.size(); i-- > 0;) {
        if (pieces[i].compare(0, input.start_line.size(), input.start_line) == 0) {
            start = i;
            break;
        }
    }
    Expected expected;
    for (size_t i = start + 1; i < pieces.size(); ++i) {
        if (replay_piece(pieces[i], &expected.shown)) {
            expected.completed = true;
        }
    }
    return expected;
}

std::string first_difference(const std::string& got, const std::string& want) {
    size_t i = 0;
    while (i < got.size() && i < want.size() && got[i] == want[i]) {
        ++i;
    }
    return "shown text differs at byte " + std::to_string(i) + " (shown " +
           std::to_string(got.size()) + " bytes, expected " + std::to_string(want.size()) + ")";
}

}  // namespace

std::string check_replay(const uint8_t* data, size_t size) {
    LogInput input = parse_log(data, size);
    Expected expected = forward_reference(input);
    FakeSystem fake;
    fake.files[kLogPath] = input.log;
    Output out(fake);
    InstallerWatch watch(fake, out);
    out.record_run_log(kLogPath, input.start_line);

    bool completed = !expected.completed;
    watch.replay_installer_log(&completed);
    if (fake.console != expected.shown) {
        return "first call: " + first_difference(fake.console, expected.shown);
    }
    if (completed != expected.completed) {
        return "first call: completed " + std::to_string(completed);
    }
    fake.console.clear();
    completed = !expected.completed;
    watch.replay_installer_log(&completed);
    if (!fake.console.empty()) {
        return "second call showed " + std::to_string(fake.console.size()) + " bytes";
    }
    if (completed != expected.completed) {
        return "second call: completed " + std::to_string(completed);
    }
    return std::string();
}

}  // namespace fuzz
}  // namespace iz
