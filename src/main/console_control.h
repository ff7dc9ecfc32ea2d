// What the program does when the console sends an event while the installer
// runs: Ctrl+C, Ctrl+Break, closing the window, log-off or shut-down.
#pragma once

namespace iz {

struct RunState;

const int kCodeConsoleEvent = 101272;
const unsigned kHandlerPauseMs = 5000;

// Registers on_console_control for the rest of the process.
void register_console_control(RunState& state);

// The handler itself. Returns true when the event is absorbed, false to let
// the platform's default handling end the process (after a five-second pause
// that lets the user read the message).
bool on_console_control(RunState& state, int event);

// Waits until no handler call is in progress, so that the state it uses
// outlives it.
void wait_for_console_handlers(RunState& state);

}  // namespace iz
