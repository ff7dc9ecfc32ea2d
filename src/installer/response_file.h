// The installer's silent-mode response file, setup.iss, in the work folder.
#pragma once

#include <string>

namespace iz {

struct RunState;

const int kCodeResponseFile = 100659;

// The 31 lines, each ending with CR LF.
std::string response_file_text(RunState& state);

// Writes setup.iss. Returns 0, or 6 after reporting message 15 with the
// system error number when it cannot be created or written.
int write_response_file(RunState& state);

}  // namespace iz
