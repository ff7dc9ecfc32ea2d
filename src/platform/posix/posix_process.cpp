#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "emulation/windows_command_line.h"
#include "platform/posix/posix_system.h"

extern char** environ;

namespace iz {

namespace {

// The child starts with every signal unblocked, whatever the console-control
// thread has blocked. A signal the caller ignored stays ignored, and so does
// SIGPIPE, which this program ignores: the installer shares its standard
// output, and a reader of that output going away must not end the
// installation halfway. SIGCHLD is the child's own business: at its default.
int prepare_attributes(posix_spawnattr_t* attributes) {
    sigset_t none;
    sigset_t defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGCHLD);
    int error = posix_spawnattr_init(attributes);
    if (error != 0) {
        return error;
    }
    // A session of its own, so that neither Ctrl+C at the terminal nor its
    // hang-up reaches the installer (the installation goes on, as the program
    // then tells the user), and no terminal read or write can stop it by job
    // control: it has no controlling terminal.
    short flags = POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    posix_spawnattr_setflags(attributes, flags);
    posix_spawnattr_setsigmask(attributes, &none);
    posix_spawnattr_setsigdefault(attributes, &defaults);
    return 0;
}

// A silent installer reads nothing, and the terminal is not its to read.
int prepare_files(posix_spawn_file_actions_t* actions) {
    int error = posix_spawn_file_actions_init(actions);
    if (error != 0) {
        return error;
    }
    error = posix_spawn_file_actions_addopen(actions, 0, "/dev/null", O_RDONLY, 0);
    if (error != 0) {
        posix_spawn_file_actions_destroy(actions);
    }
    return error;
}

// One look without waiting. A stopped installer is continued: nobody else
// would continue it.
int poll_process(int64_t pid, int* wait_status, bool* ended) {
    *ended = false;
    for (;;) {
        pid_t got = waitpid(static_cast<pid_t>(pid), wait_status, WNOHANG | WUNTRACED);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return errno;
        }
        if (got > 0 && WIFSTOPPED(*wait_status)) {
            kill(static_cast<pid_t>(pid), SIGCONT);
        } else {
            *ended = got > 0;
        }
        return 0;
    }
}

uint32_t exit_code_from_wait_status(int wait_status) {
    if (WIFEXITED(wait_status)) {
        return static_cast<uint32_t>(WEXITSTATUS(wait_status));
    }
    if (WIFSIGNALED(wait_status)) {
        return 128u + static_cast<uint32_t>(WTERMSIG(wait_status));
    }
    return 0;
}

}  // namespace

int PosixSystem::module_file_name(std::string* path) {
    std::string link(4096, '\0');
    ssize_t n = readlink("/proc/self/exe", &link[0], link.size());
    if (n < 0) {
        return errno;
    }
    if (n == 0 || static_cast<size_t>(n) >= link.size()) {
        return ENAMETOOLONG;
    }
    link.resize(static_cast<size_t>(n));
    *path = link;
    return 0;
}

int PosixSystem::start_process(const std::string& command_line, ProcessHandle* process) {
    std::vector<std::string> arguments = split_windows_command_line(command_line);
    if (arguments[0].empty()) {
        return ENOENT;
    }
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(&argument[0]);
    }
    argv.push_back(nullptr);
    // An ignored SIGCHLD, inherited from the caller, would let the system
    // reap the installer and lose its exit status.
    signal(SIGCHLD, SIG_DFL);
    posix_spawnattr_t attributes;
    int error = prepare_attributes(&attributes);
    if (error != 0) {
        return error;
    }
    posix_spawn_file_actions_t actions;
    error = prepare_files(&actions);
    if (error != 0) {
        posix_spawnattr_destroy(&attributes);
        return error;
    }
    pid_t pid = 0;
    error = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (error != 0) {
        return error;
    }
    process->process = pid;
    process->thread = 0;
    process->id = pid;
    return 0;
}

const char* PosixSystem::own_relative_path() {
    return "ZOVTools/installzova";
}

bool PosixSystem::file_names_ignore_case() {
    return false;
}

int PosixSystem::wait_process_for(const ProcessHandle& process, unsigned milliseconds,
                                  bool* ended) {
    int status = 0;
    int error = poll_process(process.process, &status, ended);
    if (error == 0 && !*ended) {
        // A child's end wakes no sleeper here, so the wait is a plain pause:
        // the end is seen at most one period late.
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        error = poll_process(process.process, &status, ended);
    }
    if (error == 0 && *ended) {
        std::lock_guard<std::mutex> lock(mutex_);
        wait_statuses_[process.process] = status;
    }
    return error;
}

int PosixSystem::process_exit_code(const ProcessHandle& process, uint32_t* code) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = wait_statuses_.find(process.process);
    if (found == wait_statuses_.end()) {
        return ECHILD;
    }
    *code = exit_code_from_wait_status(found->second);
    return 0;
}

void PosixSystem::close_process(ProcessHandle* process) {
    std::lock_guard<std::mutex> lock(mutex_);
    wait_statuses_.erase(process->process);
    process->process = 0;
}

}  // namespace iz
