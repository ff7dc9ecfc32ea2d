// The rules by which the installer's lines are shown from the run log
// (installer/installer_watch.h shows them).
#pragma once

#include <string>

namespace iz {

// One piece of the run log after the start line: appends what is to be shown
// to `shown` and returns true when the piece is a completion marker.
bool replay_piece(const std::string& piece, std::string* shown);

}  // namespace iz
