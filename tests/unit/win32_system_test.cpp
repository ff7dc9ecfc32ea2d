// The real Win32 System against the system it runs on (Windows or Wine), in a
// scratch folder of its own: the answers the core counts on, failures
// included.
#ifdef _WIN32

#include <direct.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/system.h"

namespace iz {
namespace {

const int kErrorFileNotFound = 2;
const int kErrorAccessDenied = 5;
const uint32_t kAttributeReadOnly = 0x1;
const int64_t kFourGiB = int64_t(1) << 32;

bool ends_with(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           _stricmp(text.c_str() + text.size() - tail.size(), tail.c_str()) == 0;
}

// Wine keeps the read-only attribute as the file's permission bits, which
// do not stop root; Windows refuses everyone.
bool host_ignores_read_only(const std::string& file) {
    int fd = _open(file.c_str(), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        return false;
    }
    _close(fd);
    return true;
}

class Win32SystemTest : public ::testing::Test {
  protected:
    void SetUp() override {
        system_ = make_system();
        char temp[300] = {};
        ASSERT_GT(system_->temp_path(temp, sizeof(temp)), 0u);
        const char* test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        folder_ = std::string(temp) + "iz_win32_" + std::to_string(_getpid()) + "_" + test;
        ASSERT_EQ(_mkdir(folder_.c_str()), 0) << folder_;
    }

    void TearDown() override {
        for (const std::string& file : files_) {
            _chmod(file.c_str(), _S_IREAD | _S_IWRITE);
            std::remove(file.c_str());
        }
        _rmdir(folder_.c_str());
    }

    // A file in the scratch folder, removed after the test.
    std::string path(const char* name) {
        files_.push_back(folder_ + "\\" + name);
        return files_.back();
    }

    std::string read_all(const std::string& file) {
        std::unique_ptr<ReadableFile> reader = system_->open_for_reading(file);
        if (!reader) {
            return "<cannot open>";
        }
        std::string bytes(static_cast<size_t>(reader->size()), '\0');
        int64_t got = reader->read_at(0, &bytes[0], static_cast<int64_t>(bytes.size()));
        return got == static_cast<int64_t>(bytes.size()) ? bytes : "<short read>";
    }

    std::unique_ptr<System> system_;
    std::string folder_;
    std::vector<std::string> files_;
};

TEST_F(Win32SystemTest, AppendCreatesTheFileThenAppends) {
    std::string log = path("installzova.log");
    EXPECT_EQ(system_->append_to_file(log, "first\r\n"), 0);
    EXPECT_EQ(system_->append_to_file(log, "second\r\n"), 0);
    EXPECT_EQ(read_all(log), "first\r\nsecond\r\n");
}

TEST_F(Win32SystemTest, ReadOnlyFileRefusesEveryChangeWithAccessDenied) {
    std::string file = path("locked.log");
    ASSERT_EQ(system_->write_file(file, "kept\r\n"), 0);
    ASSERT_EQ(_chmod(file.c_str(), _S_IREAD), 0);
    ASSERT_NE(system_->file_attributes(file.c_str()) & kAttributeReadOnly, 0u);
    // Wine keeps the read-only attribute as permission bits, which its server
    // honours only when it runs without root's permission override (as
    // ci/wine-prefix.sh starts it).
    ASSERT_FALSE(host_ignores_read_only(file))
        << "the wineserver ignores permission bits: start it without CAP_DAC_OVERRIDE";

    EXPECT_EQ(system_->append_to_file(file, "more\r\n"), kErrorAccessDenied);
    EXPECT_EQ(system_->write_file(file, "other\r\n"), kErrorAccessDenied);
    EXPECT_EQ(system_->delete_file(file), kErrorAccessDenied);
    EXPECT_EQ(read_all(file), "kept\r\n");
}

TEST_F(Win32SystemTest, WriteFileReplacesLongerContent) {
    std::string file = path("setup.iss");
    ASSERT_EQ(system_->write_file(file, "a much longer first content\r\n"), 0);
    ASSERT_EQ(system_->write_file(file, "short\r\n"), 0);
    EXPECT_EQ(read_all(file), "short\r\n");
}

TEST_F(Win32SystemTest, DeleteRemovesTheFileThenReportsItMissing) {
    std::string file = path("setup.log");
    ASSERT_EQ(system_->write_file(file, "ResultCode=0\r\n"), 0);
    EXPECT_EQ(system_->delete_file(file), 0);
    EXPECT_EQ(system_->delete_file(file), kErrorFileNotFound);
    EXPECT_EQ(system_->file_attributes(file.c_str()), kInvalidFileAttributes);
}

TEST_F(Win32SystemTest, OnlyOrdinaryFilesAreDiskFiles) {
    std::string file = path("settings.ini");
    ASSERT_EQ(system_->write_file(file, "[Section]\r\n"), 0);
    struct Case {
        std::string path;
        bool disk_file;
    } cases[] = {
        {file, true},
        {folder_, false},
        {folder_ + "\\missing.ini", false},
        {"NUL", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(system_->is_disk_file(c.path), c.disk_file) << c.path;
    }
}

TEST_F(Win32SystemTest, FullPathOfARelativeNameIsInTheCurrentFolder) {
    char cwd[300] = {};
    ASSERT_NE(_getcwd(cwd, sizeof(cwd)), nullptr);
    std::string expected = cwd;
    if (!ends_with(expected, "\\")) {
        expected += "\\";
    }
    expected += "settings.ini";

    char buffer[300] = {};
    uint32_t length = system_->full_path_name("settings.ini", buffer, sizeof(buffer));
    EXPECT_EQ(std::string(buffer), expected);
    EXPECT_EQ(length, expected.size());

    // Too small a buffer: the size needed, terminator included.
    char small[4] = {};
    EXPECT_EQ(system_->full_path_name("settings.ini", small, sizeof(small)), expected.size() + 1);
}

TEST_F(Win32SystemTest, TempPathIsAFolderWithATrailingBackslash) {
    char temp[300] = {};
    uint32_t length = system_->temp_path(temp, sizeof(temp));
    ASSERT_GT(length, 0u);
    EXPECT_EQ(length, std::strlen(temp));
    EXPECT_EQ(temp[length - 1], '\\');
    EXPECT_NE(system_->file_attributes(temp) & kFileAttributeDirectory, 0u);
}

TEST_F(Win32SystemTest, ReadsAtAnyOffsetAndStopsAtTheEnd) {
    std::string file = path("replay.log");
    ASSERT_EQ(system_->write_file(file, "0123456789"), 0);
    std::unique_ptr<ReadableFile> reader = system_->open_for_reading(file);
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->size(), 10);
    struct Case {
        int64_t offset;
        int64_t count;
        std::string expected;
    } cases[] = {
        {0, 4, "0123"}, {6, 4, "6789"}, {3, 2, "34"}, {8, 10, "89"}, {10, 5, ""}, {50, 5, ""},
    };
    for (const Case& c : cases) {
        char buffer[16] = {};
        int64_t got = reader->read_at(c.offset, buffer, c.count);
        ASSERT_EQ(got, static_cast<int64_t>(c.expected.size())) << "at " << c.offset;
        EXPECT_EQ(std::string(buffer, static_cast<size_t>(got)), c.expected) << "at " << c.offset;
    }
}

TEST_F(Win32SystemTest, ReadsBeyondFourGiB) {
    // A sparse file on the host's disk: only the tail takes room.
    std::string file = path("large.log");
    int fd = _open(file.c_str(), _O_WRONLY | _O_CREAT | _O_BINARY, _S_IREAD | _S_IWRITE);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(_lseeki64(fd, kFourGiB + 5, SEEK_SET), kFourGiB + 5);
    ASSERT_EQ(_write(fd, "tail", 4), 4);
    _close(fd);

    std::unique_ptr<ReadableFile> reader = system_->open_for_reading(file);
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->size(), kFourGiB + 9);
    char buffer[8] = {};
    ASSERT_EQ(reader->read_at(kFourGiB + 3, buffer, 8), 6);
    EXPECT_EQ(std::string(buffer, 6), std::string("\0\0tail", 6));
}

TEST_F(Win32SystemTest, MissingFileCannotBeOpenedForReading) {
    EXPECT_FALSE(system_->open_for_reading(folder_ + "\\missing.log"));
}

TEST_F(Win32SystemTest, RegistryTellsMissingKeyMissingValueAndTooLargeValue) {
    const char kPresentKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
    struct Case {
        const char* key;
        const char* value;
        uint32_t size;
        RegistryAnswer answer;
    } cases[] = {
        {"SOFTWARE\\No Such Maker\\No Such Product", "InstallationOption", 8,
         RegistryAnswer::KeyMissing},
        {kPresentKey, "NoSuchValueAtAll", 8, RegistryAnswer::ValueMissing},
        {kPresentKey, "CurrentVersion", 2, RegistryAnswer::ValueTooLarge},
        {kPresentKey, "CurrentVersion", 16, RegistryAnswer::Ok},
    };
    for (const Case& c : cases) {
        char data[16];
        std::memset(data, '#', sizeof(data));
        EXPECT_EQ(system_->registry_value(c.key, c.value, data, c.size), c.answer) << c.value;
        size_t used = c.answer == RegistryAnswer::Ok ? std::strlen(data) + 1 : 0;
        // Nothing beyond the terminator, and nothing at all on failure, is written.
        EXPECT_EQ(std::string(data + used, sizeof(data) - used),
                  std::string(sizeof(data) - used, '#'))
            << c.value;
    }
}

TEST_F(Win32SystemTest, ModuleFileNameNamesThisProgramOrNothing) {
    char buffer[300] = {};
    uint32_t length = system_->module_file_name(buffer, sizeof(buffer));
    EXPECT_EQ(length, std::strlen(buffer));
    EXPECT_TRUE(ends_with(buffer, "\\iz_unit_tests.exe")) << buffer;

    char small[8];
    std::memset(small, '#', sizeof(small));
    EXPECT_EQ(system_->module_file_name(small, sizeof(small)), 0u);
    EXPECT_EQ(small[0], '\0');
}

TEST_F(Win32SystemTest, StartingAMissingProgramFails) {
    ProcessHandle process;
    std::string line = "\"" + folder_ + "\\Setup.exe\" -s";
    EXPECT_NE(system_->start_process(line, &process), 0);
}

TEST_F(Win32SystemTest, StartedProcessEndsWithItsExitCode) {
    ProcessHandle process;
    ASSERT_EQ(system_->start_process("cmd.exe /c exit 3", &process), 0);
    EXPECT_EQ(system_->wait_process(process), 0);
    uint32_t code = 0;
    EXPECT_TRUE(system_->process_exit_code(process, &code));
    EXPECT_EQ(code, 3u);
    system_->close_process(&process);
    system_->close_process(&process);
    EXPECT_EQ(process.process, 0);
    EXPECT_EQ(process.thread, 0);
}

TEST_F(Win32SystemTest, TokenGroupsAreReadWithTheirIdentifiers) {
    std::vector<TokenGroup> groups;
    ASSERT_TRUE(system_->token_groups(&groups));
    ASSERT_FALSE(groups.empty());
    for (const TokenGroup& group : groups) {
        EXPECT_FALSE(group.sub_authorities.empty());
    }
}

TEST_F(Win32SystemTest, LanguageNameCountsItsTerminatorOrFailsTerminated) {
    char name[64];
    int stored = system_->user_language_name(name, sizeof(name));
    ASSERT_GT(stored, 1);
    EXPECT_EQ(static_cast<size_t>(stored), std::strlen(name) + 1);

    char small[2];
    EXPECT_EQ(system_->user_language_name(small, sizeof(small)), 0);
    EXPECT_EQ(small[0], '\0');
}

TEST_F(Win32SystemTest, VersionAndWow64AreAnswered) {
    OsVersion version;
    ASSERT_TRUE(system_->os_version(&version));
    EXPECT_GE(version.major, 5u);
    bool wow64 = true;
    ASSERT_EQ(system_->wow64_process(&wow64), Wow64Answer::Ok);
    if (sizeof(void*) == 8) {
        EXPECT_FALSE(wow64);  // a 64-bit process is never redirected
    }
}

}  // namespace
}  // namespace iz

#endif  // _WIN32
