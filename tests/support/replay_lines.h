// The run log of the replay tests on the fake platform: its path, this run's
// start line, and an installer line one second later.
#pragma once

#include <string>

namespace iz {

const char kReplayLog[] = "C:\\work\\installzova.log";
const std::string kReplayStart =
    "INFO  12-8-2026 05:14:06 QIRU09180-I ZOVA installation will now start.";

inline std::string installer_line(const std::string& text) {
    return "INFO  12-8-2026 05:14:07 " + text + "\r\n";
}

// What a replay showed and the completed flag it gave.
struct Replay {
    std::string shown;
    int completed = -1;
};

}  // namespace iz
