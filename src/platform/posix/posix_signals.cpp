#include <pthread.h>
#include <signal.h>

#include <thread>

#include "platform/posix/posix_parts.h"

namespace iz {
namespace posix {

namespace {

// The console events of Windows and the signals that stand for them here.
struct SignalEvent {
    int signal_number;
    int event;
};

const SignalEvent kSignalEvents[] = {
    {SIGINT, kCtrlC},
    {SIGQUIT, kCtrlBreak},
    {SIGHUP, kCtrlClose},
    {SIGTERM, kCtrlShutdown},
};

sigset_t console_signals() {
    sigset_t set;
    sigemptyset(&set);
    for (const SignalEvent& entry : kSignalEvents) {
        sigaddset(&set, entry.signal_number);
    }
    return set;
}

// Ends the process the way the signal would have without a handler.
void take_default_action(int signal_number) {
    signal(signal_number, SIG_DFL);
    sigset_t one;
    sigemptyset(&one);
    sigaddset(&one, signal_number);
    pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
    raise(signal_number);
}

void wait_for_signals(ConsoleHandler handler, void* context) {
    sigset_t set = console_signals();
    for (;;) {
        int signal_number = 0;
        if (sigwait(&set, &signal_number) != 0) {
            continue;
        }
        for (const SignalEvent& entry : kSignalEvents) {
            if (entry.signal_number == signal_number && !handler(entry.event, context)) {
                take_default_action(signal_number);
            }
        }
    }
}

}  // namespace

bool register_console_handler(ConsoleHandler handler, void* context) {
    // Blocked before the thread exists, so that every thread inherits the mask
    // and only sigwait ever takes these signals.
    sigset_t set = console_signals();
    if (pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) {
        return false;
    }
    try {
        std::thread(wait_for_signals, handler, context).detach();
    } catch (...) {
        pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
        return false;
    }
    return true;
}

}  // namespace posix
}  // namespace iz
