// What the program does when the console sends an event while the installer
// runs: Ctrl+C, Ctrl+Break, closing the window, log-off or shut-down.
#pragma once

#include "platform/system.h"

namespace iz {

struct RunState;

const int kCodeConsoleEvent = 101272;
const unsigned kHandlerPauseMs = 5000;

// Registers on_console_control with the state as its context.
void register_console_control(RunState& state);

// The handler itself. Returns true when the event is absorbed, false to let
// the platform's default handling end the process (after a five-second pause
// that lets the user read the message).
bool on_console_control(RunState& state, ConsoleEvent event);

// Ends the registration and waits for a handler call in progress. Called
// before the state ends, so that no event can reach a state that is gone.
void unregister_console_control(RunState& state);

}  // namespace iz
