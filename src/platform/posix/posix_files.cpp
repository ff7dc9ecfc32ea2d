#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "emulation/ini_reader.h"
#include "platform/posix/posix_system.h"

namespace iz {

namespace {

// Work files are written by their owner alone.
const mode_t kNewFileMode = 0644;

int write_all(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return n < 0 ? errno : EIO;
        }
        done += static_cast<size_t>(n);
    }
    return 0;
}

// Why the opened file may not serve as a work file, as an error number, or
// 0. Root's files count as the program's own: it runs as an administrator.
int refusal(int fd) {
    struct stat info;
    if (fstat(fd, &info) != 0) {
        return errno;
    }
    if (!S_ISREG(info.st_mode)) {
        return EINVAL;
    }
    if (info.st_nlink > 1) {
        return EMLINK;  // a hard link: the same file lives under another name too
    }
    if ((info.st_uid != geteuid() && info.st_uid != 0) ||
        (info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        return EPERM;
    }
    return 0;
}

// An existing file is opened as it is, a missing one created exclusively, so
// a new file is always the program's own. O_NOFOLLOW: a symbolic link fails
// with ELOOP, whether or not its target exists. O_NONBLOCK: a planted FIFO
// cannot hold the open up.
int open_work_file(const posix::WorkFolder& folder, const std::string& path, int flags, int* fd) {
    const int kAttempts = 3;  // a name that keeps appearing and vanishing is refused
    const int always = (flags & ~O_CREAT) | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    std::string name;
    int at = folder.locate(path, &name);
    *fd = -1;
    for (int attempt = 0; attempt < kAttempts && *fd < 0; ++attempt) {
        *fd = openat(at, name.c_str(), always);
        if (*fd < 0 && errno == ENOENT && (flags & O_CREAT) != 0) {
            *fd = openat(at, name.c_str(), always | O_CREAT | O_EXCL, kNewFileMode);
        }
        bool vanished_or_appeared = errno == ENOENT || errno == EEXIST;
        if (*fd < 0 && (!vanished_or_appeared || (flags & O_CREAT) == 0)) {
            break;
        }
    }
    if (*fd < 0) {
        return errno;
    }
    int error = refusal(*fd);
    if (error != 0) {
        close(*fd);
        *fd = -1;
    }
    return error;
}

// An existing file is emptied only after it passed the checks, so a refused
// one keeps its bytes.
int write_with_flags(const posix::WorkFolder& folder, const std::string& path,
                     const std::string& bytes, int flags) {
    int fd = -1;
    int error = open_work_file(folder, path, flags | O_WRONLY | O_CREAT, &fd);
    if (error != 0) {
        return error;
    }
    if ((flags & O_APPEND) == 0 && ftruncate(fd, 0) != 0) {
        error = errno;
    }
    if (error == 0) {
        error = write_all(fd, bytes);
    }
    if (close(fd) != 0 && error == 0) {
        error = errno;
    }
    return error;
}

bool read_all(int fd, std::string* bytes) {
    char chunk[4096];
    for (;;) {
        ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return n == 0;
        }
        bytes->append(chunk, static_cast<size_t>(n));
    }
}

class PosixReadableFile : public ReadableFile {
  public:
    explicit PosixReadableFile(int fd) : fd_(fd) {}
    ~PosixReadableFile() override { close(fd_); }

    int64_t size() override {
        struct stat info;
        return fstat(fd_, &info) == 0 ? static_cast<int64_t>(info.st_size) : -1;
    }

    int64_t read_at(int64_t offset, char* buffer, int64_t count) override {
        for (;;) {
            ssize_t n = pread(fd_, buffer, static_cast<size_t>(count), static_cast<off_t>(offset));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            return n;
        }
    }

  private:
    int fd_;
};

// Lexical resolution of "." and ".." with no look at the file system, as the
// Windows full-path call does it.
std::string resolve_lexically(const std::string& path) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        std::string part = path.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string result;
    for (const std::string& part : parts) {
        result += "/" + part;
    }
    if (result.empty() || (path.size() > 1 && path.back() == '/')) {
        result += "/";
    }
    return result;
}

}  // namespace

// A service manager or agent may start the program with umask 0; the
// installer inherits the umask and would leave a setup.log every user may
// write, which the result check then rightly refuses to trust.
void posix::restrict_umask() {
    mode_t inherited = umask(022);
    umask(inherited | 022);
}

int PosixSystem::append_to_file(const std::string& path, const std::string& bytes) {
    // O_APPEND and one write: the line lands whole at the end of the file even
    // while the installer appends its own lines.
    return write_with_flags(work_folder_, path, bytes, O_APPEND);
}

int PosixSystem::write_file(const std::string& path, const std::string& bytes) {
    return write_with_flags(work_folder_, path, bytes, 0);
}

std::string PosixSystem::work_file_profile_string(const std::string& section,
                                                  const std::string& key,
                                                  const std::string& fallback,
                                                  const std::string& file) {
    int fd = -1;
    std::string bytes;
    bool trusted = open_work_file(work_folder_, file, O_RDONLY, &fd) == 0;
    if (trusted) {
        trusted = read_all(fd, &bytes);
        close(fd);
    }
    return ini_profile_value(trusted ? &bytes : nullptr, false, section, key, fallback);
}

std::unique_ptr<ReadableFile> PosixSystem::open_for_reading(const std::string& path) {
    // The run log decides whether the installation completed: a link or a
    // file that another user could have written is not read.
    int fd = -1;
    if (open_work_file(work_folder_, path, O_RDONLY, &fd) != 0) {
        return nullptr;
    }
    return std::unique_ptr<ReadableFile>(new PosixReadableFile(fd));
}

int64_t PosixSystem::file_size(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? static_cast<int64_t>(info.st_size) : -1;
}

bool PosixSystem::is_disk_file(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

int PosixSystem::full_path_name(const std::string& name, std::string* full) {
    std::string path = name;
    if (path.empty()) {
        return ENOENT;
    }
    if (path[0] != '/') {
        char* cwd = getcwd(nullptr, 0);
        if (cwd == nullptr) {
            return errno;
        }
        path = std::string(cwd) + "/" + path;
        std::free(cwd);
    }
    *full = resolve_lexically(path);
    return 0;
}

uint32_t PosixSystem::file_attributes(const std::string& path) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        return kInvalidFileAttributes;
    }
    const uint32_t kNormal = 0x80;
    return S_ISDIR(info.st_mode) ? kFileAttributeDirectory : kNormal;
}

int PosixSystem::temp_path(std::string* folder) {
    const char* dir = std::getenv("TMPDIR");
    *folder = (dir != nullptr && dir[0] != '\0') ? dir : "/tmp";
    if (folder->back() != '/') {
        *folder += '/';
    }
    return 0;
}

int PosixSystem::name_too_long_error() {
    return ENAMETOOLONG;
}

int PosixSystem::invalid_name_error() {
    return EINVAL;
}

char PosixSystem::path_separator() {
    return '/';
}

// unlink, not remove: DeleteFileA refuses a folder, even an empty one.
int PosixSystem::delete_file(const std::string& path) {
    std::string name;
    int at = work_folder_.locate(path, &name);
    return unlinkat(at, name.c_str(), 0) == 0 ? 0 : errno;
}

// O_NONBLOCK: a FIFO put in the settings file's place cannot hold the run up.
int PosixSystem::open_settings_file(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    close(fd);
    return 0;
}

int PosixSystem::file_not_found_error() {
    return ENOENT;
}

std::string PosixSystem::profile_string(const std::string& section, const std::string& key,
                                        const std::string& fallback, const std::string& file) {
    return ini_profile_value_from_file(file, section, key, fallback);
}

}  // namespace iz
