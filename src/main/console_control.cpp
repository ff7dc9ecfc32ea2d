#include "main/console_control.h"

#include "core/run_state.h"
#include "installer/result_check.h"
#include "messages/catalogue.h"
#include "messages/output.h"
#include "messages/replay.h"
#include "messages/text.h"
#include "platform/system.h"

namespace iz {

namespace {

bool dispatch(int event, void* context) {
    return on_console_control(*static_cast<RunState*>(context), event);
}

}  // namespace

void register_console_control(RunState& state) {
    // Without the handler the run still does its job; the events then take
    // their default course.
    state.sys.register_console_handler(dispatch, &state);
}

bool on_console_control(RunState& state, int event) {
    trace(state, kCodeConsoleEvent, format_text(state, "dwCtrlType=%d.", event));
    if (event == kCtrlClose) {
        return true;
    }
    if (state.reboot_requested.load() && (event == kCtrlLogoff || event == kCtrlShutdown)) {
        // The installer restarts the machine after a completed installation:
        // finish the run's work before the process goes.
        int completed = 0;
        replay_installer_log(state, &completed);
        if (completed != 0) {
            check_setup_result(state, 1);
            state.sys.sleep_ms(kHandlerPauseMs);
            return false;
        }
    }
    // The process ends after the pause. What the installer has logged until
    // now is shown first and nothing after it, so message 13 never comes back
    // from the run log as one of the installer's lines.
    int ignored = 0;
    replay_installer_log(state, &ignored);
    report(state, get_message(state, kMsgUserTerminated), kToConsole);
    state.sys.sleep_ms(kHandlerPauseMs);
    return false;
}

void unregister_console_control(RunState& state) {
    state.sys.unregister_console_handler();
}

}  // namespace iz
