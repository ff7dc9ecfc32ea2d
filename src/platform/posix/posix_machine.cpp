// One installation at a time on POSIX: the machine lock of installzova runs,
// the dpkg front-end lock, the restart marker and a monotonic clock.
#include <errno.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "platform/posix/posix_system.h"

namespace iz {

namespace {

const char kLockName[] = "installzova.lock";
const char kDpkgFrontendLock[] = "/var/lib/dpkg/lock-frontend";

// Root's lock lives where only root may write. An administrator who is not
// root cannot create a file there and takes one in a folder of their own:
// such runs exclude only each other. INSTALLZOVA_LOCK_FOLDER names another
// folder (tests, containers); it must pass the same checks as the others.
std::string lock_folder() {
    const char* chosen = std::getenv("INSTALLZOVA_LOCK_FOLDER");
    if (chosen != nullptr && chosen[0] != '\0') {
        return chosen;
    }
    if (geteuid() == 0) {
        return "/run";
    }
    const struct passwd* user = getpwuid(geteuid());
    return user != nullptr && user->pw_dir != nullptr ? user->pw_dir : "";
}

// A folder another user could write to would let them replace the lock file
// or hold a lock of their own in its place.
int open_lock_folder(const std::string& folder) {
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    struct stat info;
    if (fstat(fd, &info) != 0 || (info.st_uid != 0 && info.st_uid != geteuid()) ||
        (info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        close(fd);
        errno = EACCES;
        return -1;
    }
    return fd;
}

// The lock file: this user's own, no link, one name, readable by its owner
// alone (a read descriptor is enough to hold a flock). Left open without
// close-on-exec, so that the installer inherits the lock.
int open_lock_file(int folder) {
    int fd = openat(folder, kLockName, O_RDWR | O_CREAT | O_NOFOLLOW | O_NOCTTY, 0600);
    if (fd < 0) {
        return -1;
    }
    struct stat info;
    int error = 0;
    if (fstat(fd, &info) != 0) {
        error = errno;
    } else if (!S_ISREG(info.st_mode) || info.st_uid != geteuid() || info.st_nlink != 1) {
        error = EPERM;
    } else if ((info.st_mode & 077) != 0 && fchmod(fd, 0600) != 0) {
        error = errno;
    }
    if (error != 0) {
        close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

int64_t holder_of(int fd) {
    char text[32] = "";
    ssize_t n = pread(fd, text, sizeof text - 1, 0);
    if (n <= 0) {
        return 0;
    }
    text[n] = '\0';
    long long id = std::strtoll(text, nullptr, 10);
    return id > 0 ? static_cast<int64_t>(id) : 0;
}

// Names this process as the holder, for the messages of runs that wait.
void record_holder(int fd) {
    std::string text = std::to_string(static_cast<long long>(getpid())) + "\n";
    if (ftruncate(fd, 0) == 0) {
        ssize_t written = pwrite(fd, text.data(), text.size(), 0);
        (void)written;  // only a hint for the messages of others
    }
}

}  // namespace

MachineLock PosixSystem::try_lock_machine(int64_t* holder, int* error) {
    *holder = 0;
    *error = 0;
    if (machine_lock_fd_ >= 0) {
        return MachineLock::Taken;
    }
    int folder = open_lock_folder(lock_folder());
    int fd = folder >= 0 ? open_lock_file(folder) : -1;
    int saved = errno;
    if (folder >= 0) {
        close(folder);
    }
    if (fd < 0) {
        *error = saved;
        return MachineLock::Failed;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        saved = errno;
        *holder = holder_of(fd);
        close(fd);
        *error = saved;
        return saved == EWOULDBLOCK ? MachineLock::Busy : MachineLock::Failed;
    }
    record_holder(fd);
    machine_lock_fd_ = fd;
    return MachineLock::Taken;
}

std::string PosixSystem::installation_in_progress() {
    int fd = open(kDpkgFrontendLock, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY);
    if (fd < 0) {
        return std::string();
    }
    // Only asked, never taken: the installer may have to run dpkg itself.
    struct flock probe = {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    bool held = fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
    close(fd);
    return held ? "dpkg" : std::string();
}

int64_t PosixSystem::monotonic_ms() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool PosixSystem::narrow_exit_status() {
    return true;
}

const char* PosixSystem::restart_marker() {
    return "/run/reboot-required";
}

}  // namespace iz
