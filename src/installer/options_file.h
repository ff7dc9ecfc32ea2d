// The options command file, setoptions.bat: one "zovactl set" command a line
// for the environment settings, in fixed slot order.
#pragma once

#include <string>

namespace iz {

struct RunState;

const int kCodeOptionsFile = 100918;

// Each builder gives its composite command, or the empty text when all of
// its keys are empty.
std::string build_lb_command(RunState& state);
std::string build_pchk_command(RunState& state);
std::string build_afb_command(RunState& state);
std::string build_iem_command(RunState& state);
std::string build_rmlu_command(RunState& state);

// The file's content, each line ending with CR LF; `count` is the number of
// commands in it.
std::string options_file_text(RunState& state, int* count);

// Writes setoptions.bat, or removes it when no command is due. Returns 0, or
// 9 after reporting message 15 when it cannot be created or written.
int write_options_file(RunState& state);

}  // namespace iz
