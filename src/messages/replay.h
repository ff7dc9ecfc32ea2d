// Shows the installer's lines of this run from the run log and tells whether
// the installer logged that the installation completed.
#pragma once

#include <string>

namespace iz {

struct RunState;

// Sets `completed` to 1 when a completion marker follows this run's start
// line, else 0. Only the first call of a run (on any thread) echoes lines to
// standard output, those the echo has not shown while following the log
// (live_echo.h); later calls only scan. A log that shrank or was replaced
// while followed counts as not completed. Never writes the run log.
void replay_installer_log(RunState& state, int* completed);

// One piece of the run log after the start line: appends what is to be shown
// to `shown` and returns true when the piece is a completion marker.
bool replay_piece(const std::string& piece, std::string* shown);

}  // namespace iz
