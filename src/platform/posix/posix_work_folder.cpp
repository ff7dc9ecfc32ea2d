// The work folder judged before any work file is made in it, and kept open so
// that the work files are reached through the folder judged, not through a
// name another user might have pointed elsewhere meanwhile.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/posix_system.h"

namespace iz {

namespace {

// O_PATH: judging and using a folder takes no right to list it, so a folder
// above that only lets root pass through is judged like any other.
const int kFolderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;

// Only an administrator may remove or rename entries of the folder: its owner
// is one, and a group or everyone else may write in it only under the sticky
// bit, which keeps each entry to its owner and the folder's.
int folder_refusal(const struct stat& info) {
    if (!posix::is_administrator_user(info.st_uid)) {
        return EPERM;
    }
    if ((info.st_mode & S_ISVTX) != 0) {
        return 0;
    }
    if ((info.st_mode & S_IWOTH) != 0) {
        return EPERM;
    }
    if ((info.st_mode & S_IWGRP) != 0 && !posix::is_administrator_group(info.st_gid)) {
        return EPERM;
    }
    return 0;
}

// Judges the folder of `fd` and each folder above it, climbing by "..", so the
// folders judged are those the opened folder really lies in, whatever links
// its name went through.
int judge_folder_chain(int fd) {
    int current = dup(fd);
    if (current < 0) {
        return errno;
    }
    struct stat info;
    int error = fstat(current, &info) == 0 ? 0 : errno;
    while (error == 0) {
        error = folder_refusal(info);
        int parent = error == 0 ? openat(current, "..", kFolderFlags) : -1;
        struct stat above;
        if (error == 0 && (parent < 0 || fstat(parent, &above) != 0)) {
            error = errno;
        }
        close(current);
        current = parent;
        if (error != 0 || (above.st_dev == info.st_dev && above.st_ino == info.st_ino)) {
            break;  // the root is its own parent
        }
        info = above;
    }
    if (current >= 0) {
        close(current);
    }
    return error;
}

}  // namespace

posix::WorkFolder::~WorkFolder() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

int posix::WorkFolder::open(const std::string& path) {
    int fd = ::open(path.c_str(), kFolderFlags);
    if (fd < 0) {
        return errno;
    }
    int error = judge_folder_chain(fd);
    if (error != 0) {
        close(fd);
        return error;
    }
    if (fd_ >= 0) {
        close(fd_);
    }
    fd_ = fd;
    path_ = path;
    return 0;
}

int posix::WorkFolder::locate(const std::string& path, std::string* name) const {
    size_t length = path_.size();
    bool inside = fd_ >= 0 && path.size() > length + 1 && path.compare(0, length, path_) == 0 &&
                  path[length] == '/' && path.find('/', length + 1) == std::string::npos;
    *name = inside ? path.substr(length + 1) : path;
    return inside ? fd_ : AT_FDCWD;
}

int PosixSystem::open_work_folder(const std::string& folder) {
    return work_folder_.open(folder);
}

}  // namespace iz
