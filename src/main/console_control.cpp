#include "main/console_control.h"

#include "installer/result_check.h"
#include "main/run_state.h"
#include "messages/catalogue.h"
#include "messages/output.h"
#include "messages/replay.h"
#include "messages/text.h"
#include "platform/system.h"

namespace iz {

namespace {

bool dispatch(int event, void* context) {
    RunState& state = *static_cast<RunState*>(context);
    state.handlers_running.fetch_add(1);
    bool handled = on_console_control(state, event);
    state.handlers_running.fetch_sub(1);
    return handled;
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
    if (state.reboot_requested.load() == 1 && (event == kCtrlLogoff || event == kCtrlShutdown)) {
        // The installer restarts the machine after a completed installation:
        // finish the run's work before the process goes.
        int completed = 0;
        replay_installer_log(state, &completed);
        if (completed == 1) {
            check_setup_result(state, 1);
            state.sys.sleep_ms(kHandlerPauseMs);
            return false;
        }
    }
    report(state, get_message(state, kMsgUserTerminated), 1);
    state.sys.sleep_ms(kHandlerPauseMs);
    return false;
}

void wait_for_console_handlers(RunState& state) {
    while (state.handlers_running.load() > 0) {
        state.sys.sleep_ms(50);
    }
}

}  // namespace iz
