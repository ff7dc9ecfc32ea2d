#include "main/console_control.h"

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <thread>

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

// Runs `work` on a thread of its own and waits for it at most `milliseconds`
// by the System's clock, which a test holds still however late threads run.
// A console that nobody reads blocks every write to it: the handler's own
// output must not keep the process from ending. A thread still blocked when
// the time is up is left to end with the process.
bool run_bounded(System& sys, const std::function<void()>& work, unsigned milliseconds) {
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    std::thread([work, done] {
        work();
        done->set_value();
    }).detach();
    int64_t start = sys.monotonic_ms();
    while (finished.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
        if (sys.monotonic_ms() - start >= milliseconds) {
            return false;
        }
    }
    return true;
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
    // The process ends after the pause; when the console blocks, at its end.
    if (run_bounded(
            state.sys, [&state, event] { last_words(state, event); }, kHandlerPauseMs)) {
        state.sys.sleep_ms(kHandlerPauseMs);
    }
    return false;
}

void unregister_console_control(RunState& state) {
    state.sys.unregister_console_handler();
}

}  // namespace iz
