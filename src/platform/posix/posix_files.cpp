#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "platform/posix/posix_parts.h"

namespace iz {
namespace posix {

namespace {

const mode_t kNewFileMode = 0666;

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

int write_with_flags(const std::string& path, const std::string& bytes, int flags) {
    int fd = open(path.c_str(), flags | O_WRONLY | O_CREAT | O_CLOEXEC, kNewFileMode);
    if (fd < 0) {
        return errno;
    }
    int error = write_all(fd, bytes);
    if (close(fd) != 0 && error == 0) {
        error = errno;
    }
    return error;
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

uint32_t copy_out(const std::string& text, char* buffer, uint32_t size) {
    if (text.size() + 1 > size) {
        return static_cast<uint32_t>(text.size() + 1);
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<uint32_t>(text.size());
}

int append_to_file(const std::string& path, const std::string& bytes) {
    // O_APPEND and one write: the line lands whole at the end of the file even
    // while the installer appends its own lines.
    return write_with_flags(path, bytes, O_APPEND);
}

int write_file(const std::string& path, const std::string& bytes) {
    return write_with_flags(path, bytes, O_TRUNC);
}

std::unique_ptr<ReadableFile> open_for_reading(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    return std::unique_ptr<ReadableFile>(new PosixReadableFile(fd));
}

bool is_disk_file(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

uint32_t full_path_name(const char* name, char* buffer, uint32_t size) {
    std::string path(name);
    if (path.empty()) {
        errno = ENOENT;
        return 0;
    }
    if (path[0] != '/') {
        char* cwd = getcwd(nullptr, 0);
        if (cwd == nullptr) {
            return 0;
        }
        path = std::string(cwd) + "/" + path;
        std::free(cwd);
    }
    uint32_t result = copy_out(resolve_lexically(path), buffer, size);
    if (result >= size) {
        errno = ENAMETOOLONG;  // the caller's buffer is this platform's limit
    }
    return result;
}

uint32_t file_attributes(const char* path) {
    struct stat info;
    if (stat(path, &info) != 0) {
        return kInvalidFileAttributes;
    }
    const uint32_t kNormal = 0x80;
    return S_ISDIR(info.st_mode) ? kFileAttributeDirectory : kNormal;
}

uint32_t temp_path(char* buffer, uint32_t size) {
    const char* dir = std::getenv("TMPDIR");
    std::string folder = (dir != nullptr && dir[0] != '\0') ? dir : "/tmp";
    if (folder.back() != '/') {
        folder += '/';
    }
    return copy_out(folder, buffer, size);
}

}  // namespace posix
}  // namespace iz
