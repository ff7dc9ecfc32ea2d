#include <windows.h>

#include "platform/win32/win32_parts.h"

namespace iz {
namespace win32 {

namespace {

// ReadFile takes a 32-bit count; larger requests are served in part, which
// the contract allows.
const int64_t kLargestRead = 1 << 30;

class Win32ReadableFile : public ReadableFile {
  public:
    explicit Win32ReadableFile(HANDLE file) : file_(file) {}
    ~Win32ReadableFile() override { CloseHandle(file_); }

    int64_t size() override {
        LARGE_INTEGER size;
        return GetFileSizeEx(file_, &size) ? static_cast<int64_t>(size.QuadPart) : -1;
    }

    int64_t read_at(int64_t offset, char* buffer, int64_t count) override;

  private:
    HANDLE file_;
};

// A synchronous handle reads at the OVERLAPPED offset and waits, so no file
// pointer is shared between calls; past the end it fails with ERROR_HANDLE_EOF.
int64_t Win32ReadableFile::read_at(int64_t offset, char* buffer, int64_t count) {
    if (offset < 0 || count < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(static_cast<uint64_t>(offset) & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(static_cast<uint64_t>(offset) >> 32);
    DWORD wanted = static_cast<DWORD>(count < kLargestRead ? count : kLargestRead);
    DWORD got = 0;
    if (ReadFile(file_, buffer, wanted, &got, &at)) {
        return got;
    }
    return GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
}

}  // namespace

int error_of_last_call() {
    DWORD error = GetLastError();
    // A call that fails without saying why still has to read as a failure.
    return error != 0 ? static_cast<int>(error) : ERROR_GEN_FAILURE;
}

std::unique_ptr<ReadableFile> open_for_reading(const std::string& path) {
    // The run log decides whether the installation completed: it is read
    // only when it may be trusted as a work file.
    intptr_t file = open_work_file_for_reading(path);
    if (file == 0) {
        return nullptr;
    }
    return std::unique_ptr<ReadableFile>(new Win32ReadableFile(reinterpret_cast<HANDLE>(file)));
}

bool is_disk_file(const std::string& path) {
    // No access asked, so a file the user may not read still counts; a folder
    // cannot be opened without FILE_FLAG_BACKUP_SEMANTICS, and devices such as
    // NUL open but are no disk files.
    HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool disk = GetFileType(file) == FILE_TYPE_DISK;
    CloseHandle(file);
    return disk;
}

}  // namespace win32
}  // namespace iz
