// The options command file, setoptions.bat: one "zovactl set" command a line
// for the environment settings, in fixed slot order.
#pragma once

#include <string>

#include "core/status.h"

namespace iz {

class Output;
class System;
struct Settings;

const int kCodeOptionsFile = 100918;

// Each builder gives its composite command, or the empty text when all of
// its keys are empty.
std::string build_lb_command(const Settings& settings);
std::string build_pchk_command(const Settings& settings);
std::string build_afb_command(const Settings& settings);
std::string build_iem_command(const Settings& settings);
std::string build_rmlu_command(const Settings& settings);

// The file's content, each line ending with CR LF; `count` is the number of
// commands in it.
std::string options_file_text(const Settings& settings, int* count);

// Writes setoptions.bat at `path`, or removes it when no command is due.
// Returns Status::Ok, or Status::OptionsFile after reporting QIRU09216 when it
// cannot be created or written.
Status write_options_file(System& sys, Output& out, const Settings& settings,
                          const std::string& path);

}  // namespace iz
