#include <windows.h>

#include <algorithm>

#include "platform/win32/win32_system.h"

namespace iz {

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

int win32::error_of_last_call() {
    DWORD error = GetLastError();
    // A call that fails without saying why still has to read as a failure.
    return error != 0 ? static_cast<int>(error) : ERROR_GEN_FAILURE;
}

std::unique_ptr<ReadableFile> Win32System::open_for_reading(const std::string& path) {
    // The run log decides whether the installation completed: it is read
    // only when it may be trusted as a work file.
    intptr_t file = win32::open_work_file_for_reading(path);
    if (file == 0) {
        return nullptr;
    }
    return std::unique_ptr<ReadableFile>(new Win32ReadableFile(reinterpret_cast<HANDLE>(file)));
}

int64_t Win32System::file_size(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
        return -1;
    }
    return static_cast<int64_t>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) |
                                data.nFileSizeLow);
}

bool Win32System::is_disk_file(const std::string& path) {
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

int Win32System::name_too_long_error() {
    return ERROR_FILENAME_EXCED_RANGE;
}

int Win32System::invalid_name_error() {
    return ERROR_INVALID_NAME;
}

char Win32System::path_separator() {
    return '\\';
}

int Win32System::delete_file(const std::string& path) {
    return DeleteFileA(path.c_str()) ? 0 : static_cast<int>(GetLastError());
}

int Win32System::file_not_found_error() {
    return ERROR_FILE_NOT_FOUND;
}

int win32::whole_text(const std::function<uint32_t(char* buffer, uint32_t size)>& call,
                      std::string* text) {
    // Longer than any path or variable Windows keeps.
    const size_t kLargest = 1 << 16;
    std::string buffer(MAX_PATH + 1, '\0');
    for (;;) {
        uint32_t length = call(&buffer[0], static_cast<uint32_t>(buffer.size()));
        if (length == 0) {
            return error_of_last_call();
        }
        if (length < buffer.size()) {
            *text = buffer.substr(0, length);
            return 0;
        }
        if (length > kLargest) {
            return ERROR_INSUFFICIENT_BUFFER;
        }
        // The size needed, which may grow again before the next call.
        buffer.assign(std::max<size_t>(length, buffer.size() + 1), '\0');
    }
}

// The call cuts a value to the buffer and then answers its size less one, so
// the buffer grows until the answer leaves room.
std::string win32::whole_profile_string(const std::string& section, const std::string& key,
                                        const std::string& fallback, const std::string& file) {
    const size_t kLargest = 1 << 20;
    std::string buffer(256, '\0');
    for (;;) {
        DWORD length =
            GetPrivateProfileStringA(section.c_str(), key.c_str(), fallback.c_str(), &buffer[0],
                                     static_cast<DWORD>(buffer.size()), file.c_str());
        if (length + 1 < buffer.size() || buffer.size() >= kLargest) {
            return buffer.substr(0, std::min<size_t>(length, buffer.size() - 1));
        }
        buffer.assign(buffer.size() * 2, '\0');
    }
}

int Win32System::full_path_name(const std::string& name, std::string* full) {
    return win32::whole_text(
        [&](char* buffer, uint32_t size) {
            return GetFullPathNameA(name.c_str(), size, buffer, nullptr);
        },
        full);
}

uint32_t Win32System::file_attributes(const std::string& path) {
    return GetFileAttributesA(path.c_str());
}

int Win32System::temp_path(std::string* folder) {
    return win32::whole_text([](char* buffer, uint32_t size) { return GetTempPathA(size, buffer); },
                             folder);
}

std::string Win32System::profile_string(const std::string& section, const std::string& key,
                                        const std::string& fallback, const std::string& file) {
    return win32::whole_profile_string(section, key, fallback, file);
}

}  // namespace iz
