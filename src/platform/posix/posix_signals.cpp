#include <pthread.h>
#include <signal.h>

#include <chrono>
#include <future>
#include <memory>
#include <system_error>
#include <thread>

#include "platform/posix/posix_system.h"

namespace iz {

namespace {

// The console events of Windows and the signals that stand for them here.
struct SignalEvent {
    int signal_number;
    ConsoleEvent event;
};

const SignalEvent kSignalEvents[] = {
    {SIGINT, ConsoleEvent::CtrlC},
    {SIGQUIT, ConsoleEvent::CtrlBreak},
    {SIGHUP, ConsoleEvent::Close},
    {SIGTERM, ConsoleEvent::Shutdown},
};

// Sent to the signal thread alone to end its wait.
const int kWakeSignal = SIGUSR1;

bool is_ignored(int signal_number) {
    struct sigaction action;
    return sigaction(signal_number, nullptr, &action) == 0 && action.sa_handler == SIG_IGN;
}

// The console signals this program takes: a signal that its caller ignored
// (a background job's SIGINT) stays ignored, as Windows keeps an inherited
// "ignore Ctrl+C".
sigset_t taken_signals() {
    sigset_t set;
    sigemptyset(&set);
    for (const SignalEvent& entry : kSignalEvents) {
        if (!is_ignored(entry.signal_number)) {
            sigaddset(&set, entry.signal_number);
        }
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

void wait_for_signals(ConsoleHandler handler, void* context, sigset_t taken,
                      const std::atomic<bool>* stopping) {
    sigset_t set = taken;
    sigaddset(&set, kWakeSignal);
    for (;;) {
        int signal_number = 0;
        if (sigwait(&set, &signal_number) != 0) {
            continue;
        }
        if (stopping->load()) {
            return;
        }
        for (const SignalEvent& entry : kSignalEvents) {
            if (entry.signal_number == signal_number && !handler(entry.event, context)) {
                take_default_action(signal_number);
            }
        }
    }
}

}  // namespace

void posix::ignore_broken_pipe() {
    // A console write to a reader that went away fails and is ignored, as on
    // Windows; the run and its exit code stay the run's own.
    signal(SIGPIPE, SIG_IGN);
}

bool posix::ConsoleSignals::start(ConsoleHandler handler, void* context) {
    if (thread_.joinable()) {
        return false;
    }
    // Blocked before the thread exists, so that every thread inherits the mask
    // and only sigwait ever takes these signals. They stay blocked after the
    // thread ends: a late one waits, unhandled, for the process to end.
    sigset_t taken = taken_signals();
    sigset_t blocked = taken;
    sigaddset(&blocked, kWakeSignal);
    sigset_t previous;
    if (pthread_sigmask(SIG_BLOCK, &blocked, &previous) != 0) {
        return false;
    }
    stopping_.store(false);
    bool started = true;
    try {
        thread_ = std::thread(wait_for_signals, handler, context, taken, &stopping_);
    } catch (...) {
        started = false;
    }
    // Only the signal thread waits for the wake signal.
    sigset_t wake;
    sigemptyset(&wake);
    sigaddset(&wake, kWakeSignal);
    if (!sigismember(&previous, kWakeSignal)) {
        pthread_sigmask(SIG_UNBLOCK, &wake, nullptr);
    }
    if (!started) {
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    }
    return started;
}

void posix::ConsoleSignals::stop() {
    if (!thread_.joinable()) {
        return;
    }
    stopping_.store(true);
    pthread_kill(thread_.native_handle(), kWakeSignal);
    // Waits for a handler call in progress; one that ends the process never
    // comes back, and then nothing is left to protect.
    thread_.join();
}

bool PosixSystem::register_console_handler(ConsoleHandler handler, void* context) {
    return console_signals_.start(handler, context);
}

void PosixSystem::unregister_console_handler() {
    console_signals_.stop();
}

bool PosixSystem::run_bounded(const std::function<void()>& work, unsigned milliseconds) {
    // Shared with the thread, which may outlive this call.
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    try {
        std::thread([work, done] {
            work();
            done->set_value();
        }).detach();
    } catch (const std::system_error&) {
        work();  // no thread to spare: the work is still done, unbounded
        return true;
    }
    return finished.wait_for(std::chrono::milliseconds(milliseconds)) == std::future_status::ready;
}

}  // namespace iz
