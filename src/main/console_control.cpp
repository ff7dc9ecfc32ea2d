#include "main/console_control.h"

#include "installer/installer_watch.h"
#include "installer/result_check.h"
#include "main/run_state.h"
#include "messages/catalogue.h"
#include "messages/output.h"
#include "messages/text.h"
#include "platform/system.h"

namespace iz {

namespace {

bool dispatch(ConsoleEvent event, void* context) {
    return on_console_control(*static_cast<RunState*>(context), event);
}

// What the handler shows before the process ends.
void last_words(RunState& state, ConsoleEvent event) {
    if (state.settings.reboot_requested &&
        (event == ConsoleEvent::Logoff || event == ConsoleEvent::Shutdown)) {
        // The installer restarts the machine after a completed installation:
        // finish the run's work before the process goes.
        bool completed = false;
        state.watch.replay_installer_log(&completed);
        if (completed) {
            check_setup_result(state.sys, state.out, state.paths, &state.installer, true);
            return;
        }
    }
    // What the installer has logged until now is shown first and nothing
    // after it, so QIRU09197 never comes back from the run log as one of the
    // installer's lines.
    bool ignored = false;
    state.watch.replay_installer_log(&ignored);
    report(state.out, get_message(state.out, kMsgUserTerminated), Sink::Console);
}

}  // namespace

void register_console_control(RunState& state) {
    // Without the handler the run still does its job; the events then take
    // their default course.
    state.sys.register_console_handler(dispatch, &state);
}

bool on_console_control(RunState& state, ConsoleEvent event) {
    trace(state.out, kCodeConsoleEvent,
          format_text(state.out, "dwCtrlType=%d.", static_cast<int>(event)));
    if (event == ConsoleEvent::Close) {
        return true;
    }
    // The process ends after the pause; when the console blocks, at its end:
    // the handler's own output must not keep the process from ending.
    if (state.sys.run_bounded([&state, event] { last_words(state, event); }, kHandlerPauseMs)) {
        state.sys.sleep_ms(kHandlerPauseMs);
    }
    return false;
}

void unregister_console_control(RunState& state) {
    state.sys.unregister_console_handler();
}

}  // namespace iz
