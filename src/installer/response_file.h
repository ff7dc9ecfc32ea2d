// The installer's silent-mode response file, setup.iss, in the work folder.
#pragma once

#include <string>

#include "core/status.h"

namespace iz {

class Output;
class System;
struct Settings;

const int kCodeResponseFile = 100659;

// The 31 lines, each ending with CR LF.
std::string response_file_text(const Settings& settings);

// Writes setup.iss at `path`. Returns Status::Ok, or Status::ResponseFile
// after reporting QIRU09216 with the system error number when it cannot be
// created or written.
Status write_response_file(System& sys, Output& out, const Settings& settings,
                           const std::string& path);

}  // namespace iz
