// The contract of System: the answers the core counts on, failures included.
// It runs against the real System of the platform the tests are built for
// (POSIX natively, Win32 under Wine or Windows) in a scratch folder of its
// own, and, where the fake is to behave the same, against the fake.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/limits.h"
#include "platform/system.h"
#include "support/fake_system.h"

namespace iz {
namespace {

const int64_t kFourGiB = int64_t(1) << 32;

// The world a System sees, staged by a test: folders, variables, registry.
class World {
  public:
    virtual ~World() = default;
    virtual System& system() = 0;
    // A path in the test's scratch folder.
    virtual std::string path(const std::string& name) = 0;
    virtual void make_folder(const std::string& path) = 0;
    // Sets a variable; null removes it.
    virtual void set_variable(const char* name, const char* value) = 0;
    // A key of the test's own below HKEY_LOCAL_MACHINE, created empty.
    virtual std::string registry_key() = 0;
    virtual void set_registry_value(const char* name, const std::string& data) = 0;
    // A device that exists but is no disk file.
    virtual std::string device() = 0;
    // What an absent ProgramFiles reads as (POSIX stands its own folder in).
    virtual std::string absent_program_files() = 0;
};

class FakeWorld : public World {
  public:
    System& system() override { return fake_; }
    std::string path(const std::string& name) override { return "C:\\scratch\\" + name; }
    void make_folder(const std::string& path) override { fake_.folders.insert(path); }
    void set_variable(const char* name, const char* value) override {
        if (value == nullptr) {
            fake_.environment.erase(name);
        } else {
            fake_.environment[name] = value;
        }
    }
    std::string registry_key() override {
        fake_.registry[kKey];
        return kKey;
    }
    void set_registry_value(const char* name, const std::string& data) override {
        fake_.registry[kKey][name] = data;
    }
    std::string device() override {
        fake_.devices.insert("NUL");
        return "NUL";
    }
    std::string absent_program_files() override { return ""; }

  private:
    const std::string kKey = "SOFTWARE\\Contract";
    FakeSystem fake_;
};

// The host's own calls for staging, and its answers where they differ.
#ifdef _WIN32
const char kSeparator = '\\';
const char kOwnProgram[] = "iz_unit_tests.exe";
const char kInstallerProgram[] = "test-installer.exe";
const int kFileNotFound = ERROR_FILE_NOT_FOUND;

int process_id() {
    return _getpid();
}
bool make_directory(const std::string& path) {
    return _mkdir(path.c_str()) == 0;
}
void remove_directory(const std::string& path) {
    _rmdir(path.c_str());
}
void set_host_variable(const char* name, const char* value) {
    SetEnvironmentVariableA(name, value);
}
std::string registry_root_key() {
    return "SOFTWARE\\iz-contract-" + std::to_string(process_id());
}
void host_registry_key(const std::string& key) {
    HKEY handle = nullptr;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle,
                    nullptr);
    RegCloseKey(handle);
}
void host_registry_value(const std::string& key, const char* name, const std::string& data) {
    HKEY handle = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_WRITE, &handle));
    RegSetValueExA(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>(data.size() + 1));
    RegCloseKey(handle);
}
void remove_host_registry(const std::string& key) {
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str());
}
std::string host_device() {
    return "NUL";
}
// A named pipe: the Windows kind of FIFO. The handle is kept by the test.
std::string make_fifo(const std::string&) {
    std::string name = "\\\\.\\pipe\\iz-contract-" + std::to_string(process_id());
    static HANDLE pipe =
        CreateNamedPipeA(name.c_str(), PIPE_ACCESS_DUPLEX, 0, 4, 64, 64, 0, nullptr);
    return pipe == INVALID_HANDLE_VALUE ? "" : name;
}
void write_at(const std::string& file, int64_t offset, const std::string& bytes) {
    int fd = _open(file.c_str(), _O_WRONLY | _O_CREAT | _O_BINARY, _S_IREAD | _S_IWRITE);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(_lseeki64(fd, offset, SEEK_SET), offset);
    ASSERT_EQ(_write(fd, bytes.data(), static_cast<unsigned>(bytes.size())),
              static_cast<int>(bytes.size()));
    _close(fd);
}
std::string exit_three_command() {
    return "cmd.exe /c exit 3";
}
#else
const char kSeparator = '/';
const char kOwnProgram[] = "iz_unit_tests";
const char kInstallerProgram[] = "test-installer";
const int kFileNotFound = ENOENT;

int process_id() {
    return static_cast<int>(getpid());
}
bool make_directory(const std::string& path) {
    return mkdir(path.c_str(), 0755) == 0;
}
void remove_directory(const std::string& path) {
    rmdir(path.c_str());
}
void set_host_variable(const char* name, const char* value) {
    if (value == nullptr) {
        unsetenv(name);
    } else {
        setenv(name, value, 1);
    }
}
std::string host_device() {
    return "/dev/null";
}
std::string make_fifo(const std::string& path) {
    return mkfifo(path.c_str(), 0600) == 0 ? path : "";
}
void write_at(const std::string& file, int64_t offset, const std::string& bytes) {
    int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset)),
              static_cast<ssize_t>(bytes.size()));
    close(fd);
}
std::string exit_three_command() {
    return "\"/bin/sh\" -c \"exit 3\"";
}
#endif

// The real System in a scratch folder below the temp folder; every file and
// folder a test names through path() is removed afterwards, and every
// variable it sets is put back.
class RealWorld : public World {
  public:
    RealWorld() : system_(make_system()) {
        std::string temp;
        system_->temp_path(&temp);
        const char* test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        folder_ = temp + "iz_contract_" + std::to_string(process_id()) + "_" +
                  std::string(test).substr(0, std::string(test).find('/'));
        EXPECT_TRUE(make_directory(folder_)) << folder_;
#ifndef _WIN32
        set_variable("INSTALLZOVA_REGISTRY_ROOT", (folder_ + "/registry").c_str());
#endif
    }

    ~RealWorld() override {
        // The System holds a work folder it judged open, on Windows without
        // delete sharing, until it ends.
        system_.reset();
        for (auto it = names_.rbegin(); it != names_.rend(); ++it) {
            std::remove(it->c_str());
            remove_directory(*it);
        }
#ifdef _WIN32
        if (!key_.empty()) {
            remove_host_registry(key_);
        }
#else
        for (const std::string& entry : registry_entries_) {
            std::remove(entry.c_str());  // files first, then the folders
        }
#endif
        for (const auto& saved : saved_) {
            set_host_variable(saved.first.c_str(),
                              saved.second.empty() ? nullptr : saved.second.c_str() + 1);
        }
        remove_directory(folder_);
    }

    System& system() override {
        return *system_;
    }
    std::string folder() const {
        return folder_;
    }
    std::string path(const std::string& name) override {
        names_.push_back(folder_ + kSeparator + name);
        return names_.back();
    }
    void make_folder(const std::string& path) override {
        make_directory(path);
    }
    void set_variable(const char* name, const char* value) override {
        const char* old = std::getenv(name);
        // "=" marks a variable that was set, so that an empty one comes back.
        saved_.insert(saved_.begin(), {name, old == nullptr ? "" : std::string("=") + old});
        set_host_variable(name, value);
    }
    std::string registry_key() override;
    void set_registry_value(const char* name, const std::string& data) override;
    std::string device() override {
        return host_device();
    }
    std::string absent_program_files() override {
        return kSeparator == '/' ? "/opt" : "";
    }

  private:
    std::unique_ptr<System> system_;
    std::string folder_;
    std::vector<std::string> names_;
    std::vector<std::pair<std::string, std::string>> saved_;
    std::string key_;
    std::vector<std::string> registry_entries_;
};

#ifdef _WIN32
std::string RealWorld::registry_key() {
    key_ = registry_root_key();
    host_registry_key(key_);
    return key_;
}
void RealWorld::set_registry_value(const char* name, const std::string& data) {
    host_registry_value(key_, name, data);
}
#else
// Under the folder tree a key is a folder and a value a file whose line end,
// as an editor leaves it, is not part of the data.
std::string RealWorld::registry_key() {
    key_ = "SOFTWARE\\Contract";
    registry_entries_ = {folder_ + "/registry/SOFTWARE/Contract", folder_ + "/registry/SOFTWARE",
                         folder_ + "/registry"};
    for (auto it = registry_entries_.rbegin(); it != registry_entries_.rend(); ++it) {
        make_directory(*it);
    }
    return key_;
}
void RealWorld::set_registry_value(const char* name, const std::string& data) {
    std::string file = folder_ + "/registry/SOFTWARE/Contract/" + name;
    registry_entries_.insert(registry_entries_.begin(), file);
    write_at(file, 0, data + "\r\n");
}
#endif

std::string read_all(System& system, const std::string& file) {
    std::unique_ptr<ReadableFile> reader = system.open_for_reading(file);
    if (!reader) {
        return "<cannot open>";
    }
    std::string bytes(static_cast<size_t>(reader->size()), '\0');
    int64_t got = reader->read_at(0, &bytes[0], static_cast<int64_t>(bytes.size()));
    return got == static_cast<int64_t>(bytes.size()) ? bytes : "<short read>";
}

bool ends_with(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// --- Cases the fake copies ------------------------------------------------

enum class Subject { Real, Fake };

class SystemContract : public ::testing::TestWithParam<Subject> {
  protected:
    void SetUp() override {
        if (GetParam() == Subject::Real) {
            world_.reset(new RealWorld());
        } else {
            world_.reset(new FakeWorld());
        }
    }
    World& world() { return *world_; }
    System& system() { return world_->system(); }

  private:
    std::unique_ptr<World> world_;
};

TEST_P(SystemContract, FullPathTooLongForTheBufferGivesNameTooLong) {
    std::string name = world().path(std::string(300, 'n'));
    // Refused by the platform (Windows), or beyond the program's buffer.
    std::string full;
    int error = system().full_path_name(name, &full);
    EXPECT_TRUE(error == system().name_too_long_error() ||
                (error == 0 && full.size() >= kPathBufferSize))
        << error;
}

TEST_P(SystemContract, DeletingAFolderIsRefusedAndLeavesIt) {
    std::string folder = world().path("folder");
    world().make_folder(folder);
    EXPECT_NE(0, system().delete_file(folder));
    EXPECT_NE(0u, system().file_attributes(folder.c_str()) & kFileAttributeDirectory);
}

TEST_P(SystemContract, RegistryValuesComeBackWhole) {
    std::string key = world().registry_key();
    world().set_registry_value("Plain", "All");
    world().set_registry_value("LineEnd", "A\r\nB\r\n");
    world().set_registry_value("Seven", "Core123");
    world().set_registry_value("Eight", "AllAllAl");
    world().set_registry_value("Twenty", std::string(20, 'x'));
    struct Case {
        const char* key;
        const char* name;
        RegistryAnswer answer;
        std::string data;
    } cases[] = {
        {key.c_str(), "Plain", RegistryAnswer::Ok, "All"},
        {key.c_str(), "LineEnd", RegistryAnswer::Ok, "A\r\nB\r\n"},
        {key.c_str(), "Seven", RegistryAnswer::Ok, "Core123"},
        {key.c_str(), "Eight", RegistryAnswer::Ok, "AllAllAl"},
        {key.c_str(), "Twenty", RegistryAnswer::Ok, std::string(20, 'x')},
        {key.c_str(), "InstallationOption", RegistryAnswer::ValueMissing, ""},
        {"SOFTWARE\\iz-no-such-maker\\No Such Product", "InstallationOption",
         RegistryAnswer::KeyMissing, ""},
    };
    for (const Case& c : cases) {
        std::string data;
        EXPECT_EQ(c.answer, system().registry_value(c.key, c.name, &data)) << c.name;
        EXPECT_EQ(c.data, data) << c.name;
    }
}

TEST_P(SystemContract, EmptyOrAbsentProgramFilesIsNoFolder) {
    std::string value;
    world().set_variable("ProgramFiles", "");
    EXPECT_NE(0, system().environment_variable("ProgramFiles", &value));
    world().set_variable("ProgramFiles", nullptr);
    value.clear();
    int error = system().environment_variable("ProgramFiles", &value);
    EXPECT_EQ(world().absent_program_files().empty(), error != 0);
    EXPECT_EQ(world().absent_program_files(), value);
}

TEST_P(SystemContract, DeviceIsNoDiskFile) {
    std::string file = world().path("settings.ini");
    ASSERT_EQ(0, system().write_file(file, "[ZOVA]\r\n"));
    EXPECT_TRUE(system().is_disk_file(file));
    EXPECT_FALSE(system().is_disk_file(world().device()));
}

TEST_P(SystemContract, SettingsFileIsOpenedForReadingOrGivesTheError) {
    std::string file = world().path("settings.ini");
    ASSERT_EQ(0, system().write_file(file, "[ZOVA]\r\n"));
    EXPECT_EQ(0, system().open_settings_file(file));
    EXPECT_EQ(system().file_not_found_error(),
              system().open_settings_file(world().path("missing.ini")));
}

INSTANTIATE_TEST_SUITE_P(Systems, SystemContract, ::testing::Values(Subject::Real, Subject::Fake),
                         [](const ::testing::TestParamInfo<Subject>& info) {
                             return info.param == Subject::Real ? "Real" : "Fake";
                         });

// --- Cases of the real System alone -----------------------------------------

// Timed waits run out, or see the end, which leaves the exit code to read.
void wait_for_end(System& system, const ProcessHandle& process) {
    bool ended = false;
    while (!ended) {
        ASSERT_EQ(system.wait_process_for(process, 5, &ended), 0);
    }
}

class RealSystem : public ::testing::Test {
  protected:
    RealWorld world;
    System& system = world.system();
};

TEST_F(RealSystem, AppendCreatesTheFileThenAppends) {
    std::string log = world.path("installzova.log");
    EXPECT_EQ(system.append_to_file(log, "first\r\n"), 0);
    EXPECT_EQ(system.append_to_file(log, "second\r\n"), 0);
    EXPECT_EQ(read_all(system, log), "first\r\nsecond\r\n");
}

TEST_F(RealSystem, WriteFileReplacesLongerContent) {
    std::string file = world.path("setup.iss");
    ASSERT_EQ(system.write_file(file, "a much longer first content\r\n"), 0);
    ASSERT_EQ(system.write_file(file, "short\r\n"), 0);
    EXPECT_EQ(read_all(system, file), "short\r\n");
}

TEST_F(RealSystem, DeleteRemovesTheFileThenReportsItMissing) {
    std::string file = world.path("setup.log");
    ASSERT_EQ(system.write_file(file, "ResultCode=0\r\n"), 0);
    EXPECT_EQ(system.delete_file(file), 0);
    EXPECT_EQ(system.delete_file(file), kFileNotFound);
    EXPECT_EQ(system.file_attributes(file.c_str()), kInvalidFileAttributes);
    EXPECT_FALSE(system.open_for_reading(file));
}

// Once judged, the folder cannot be swapped under the run: Windows holds it,
// so it cannot be renamed; POSIX reaches the work files through it, so a
// folder put in its place gets none of them.
TEST_F(RealSystem, WorkFolderJudgedIsTheFolderUsed) {
    std::string folder = world.folder();
    ASSERT_EQ(0, system.open_work_folder(folder));
    std::string moved = folder + "-moved";
    bool renamed = std::rename(folder.c_str(), moved.c_str()) == 0;
    EXPECT_EQ(kSeparator == '/', renamed);
    if (renamed) {
        ASSERT_TRUE(make_directory(folder));
        EXPECT_EQ(0, system.write_file(folder + kSeparator + "setup.iss", "judged\r\n"));
        EXPECT_EQ(kInvalidFileAttributes,
                  system.file_attributes((folder + kSeparator + "setup.iss").c_str()));
        EXPECT_NE(kInvalidFileAttributes,
                  system.file_attributes((moved + kSeparator + "setup.iss").c_str()));
        EXPECT_EQ(0, system.delete_file(folder + kSeparator + "setup.iss"));
        EXPECT_EQ(kInvalidFileAttributes,
                  system.file_attributes((moved + kSeparator + "setup.iss").c_str()));
        remove_directory(moved);
    }
}

TEST_F(RealSystem, OnlyOrdinaryFilesAreDiskFiles) {
    std::string file = world.path("settings.ini");
    ASSERT_EQ(system.write_file(file, "[Section]\r\n"), 0);
    std::string fifo = make_fifo(world.path("fifo.ini"));
    ASSERT_FALSE(fifo.empty());
    struct Case {
        std::string path;
        bool disk_file;
    } cases[] = {
        {file, true},
        {world.folder(), false},
        {world.folder() + kSeparator + "missing.ini", false},
        {host_device(), false},
        {fifo, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(system.is_disk_file(c.path), c.disk_file) << c.path;
    }
}

TEST_F(RealSystem, FullPathIsTheCurrentFolderJoinedAndResolvedByName) {
    char cwd[300] = {};
#ifdef _WIN32
    ASSERT_NE(_getcwd(cwd, sizeof(cwd)), nullptr);
#else
    ASSERT_NE(getcwd(cwd, sizeof(cwd)), nullptr);
#endif
    std::string expected = cwd;
    if (!ends_with(expected, std::string(1, kSeparator))) {
        expected += kSeparator;
    }
    expected += "settings.ini";
    const std::string up = std::string("no-such-folder") + kSeparator + ".." + kSeparator;
    for (const std::string& name : {std::string("settings.ini"), up + "settings.ini",
                                    std::string(".") + kSeparator + up + "settings.ini"}) {
        std::string full;
        EXPECT_EQ(system.full_path_name(name, &full), 0) << name;
        EXPECT_EQ(full, expected) << name;
    }
}

TEST_F(RealSystem, TempPathIsAFolderWithATrailingSeparatorWhateverItsVariables) {
#ifdef _WIN32
    const char* const variables[] = {"TMP", "TEMP"};
#else
    const char* const variables[] = {"TMPDIR"};
#endif
    for (const char* value : {"", static_cast<const char*>(nullptr)}) {
        for (const char* name : variables) {
            world.set_variable(name, value);
        }
        std::string temp;
        ASSERT_EQ(system.temp_path(&temp), 0) << (value == nullptr ? "absent" : "empty");
        ASSERT_FALSE(temp.empty());
        EXPECT_EQ(temp.find('\0'), std::string::npos);
        EXPECT_EQ(temp.back(), kSeparator);
        EXPECT_NE(system.file_attributes(temp) & kFileAttributeDirectory, 0u);
    }
}

TEST_F(RealSystem, ReadsAtAnyOffsetAndStopsAtTheEnd) {
    std::string file = world.path("replay.log");
    ASSERT_EQ(system.write_file(file, "0123456789"), 0);
    std::unique_ptr<ReadableFile> reader = system.open_for_reading(file);
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

TEST_F(RealSystem, ReadsBeyondFourGiB) {
    // A sparse file on the host's disk: only the tail takes room.
    std::string file = world.path("large.log");
    write_at(file, kFourGiB + 5, "tail");
    std::unique_ptr<ReadableFile> reader = system.open_for_reading(file);
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->size(), kFourGiB + 9);
    char buffer[8] = {};
    ASSERT_EQ(reader->read_at(kFourGiB + 3, buffer, 8), 6);
    EXPECT_EQ(std::string(buffer, 6), std::string("\0\0tail", 6));
}

// The test installer, started from beside this program, appends `lines`
// numbered lines to the run log in the test's folder, as the real installer
// appends to installzova.log while the program runs.
class RunLogSharing : public RealSystem {
  protected:
    static constexpr int kLines = 2000;

    void start_installer() {
        std::string own;
        ASSERT_EQ(0, system.module_file_name(&own));
        std::string installer = own.substr(0, own.rfind(kSeparator) + 1) + kInstallerProgram;
        std::string response = world.path("setup.iss");
        ASSERT_EQ(0, system.write_file(response, "szEdit1=" + world.folder() + "\r\n"));
        world.set_variable("TEST_INSTALLER_REPEAT", std::to_string(kLines).c_str());
        ASSERT_EQ(0,
                  system.start_process("\"" + installer + "\" -f1\"" + response + "\"", &process));
    }

    // Waits for the installer, then checks that every read taken meanwhile
    // is a prefix of the final run log and that every line in it is whole.
    void check_run_log(int own_lines) {
        wait_for_end(system, process);
        system.close_process(&process);
        std::string final_bytes = read_all(system, log);
        for (const std::string& read : reads) {
            EXPECT_EQ(0, final_bytes.compare(0, read.size(), read)) << "a read that is no prefix";
        }
        int ours = 0;
        int theirs = 0;
        size_t start = 0;
        while (start < final_bytes.size()) {
            size_t end = final_bytes.find("\r\n", start);
            ASSERT_NE(std::string::npos, end);
            std::string line = final_bytes.substr(start, end - start);
            ASSERT_EQ(0u, line.find("INFO ")) << "torn line: " << line;
            ours += line.find("INFO ours ") == 0;
            theirs += line.find("QIRU09231-I Copying file") != std::string::npos;
            start = end + 2;
        }
        EXPECT_EQ(own_lines, ours);
        EXPECT_EQ(kLines, theirs);
    }

    std::string log = world.path("installzova.log");
    ProcessHandle process;
    std::vector<std::string> reads;
};

TEST_F(RunLogSharing, FileReadWhileAnotherProcessAppendsIsAlwaysAPrefix) {
    start_installer();
    for (int i = 0; i < 200; ++i) {
        if (system.file_attributes(log.c_str()) != kInvalidFileAttributes) {
            reads.push_back(read_all(system, log));
        }
    }
    check_run_log(0);
}

// Only the native build checks this: Windows serialises appends itself, but
// Wine, which runs the Windows builds here, takes the file's size and then
// writes at that offset (fstat, then pwrite), so two processes appending at
// once overwrite each other's bytes there whatever the program does.
#ifndef _WIN32
TEST_F(RunLogSharing, AppendingFromTwoProcessesAtOnceKeepsEveryLineWhole) {
    start_installer();
    for (int i = 0; i < kLines; ++i) {
        ASSERT_EQ(0, system.append_to_file(log, "INFO ours " + std::to_string(i) + "\r\n"));
        if (i % 100 == 0) {
            reads.push_back(read_all(system, log));
        }
    }
    check_run_log(kLines);
}
#endif

TEST_F(RealSystem, ModuleFileNameNamesThisProgram) {
    std::string path;
    ASSERT_EQ(system.module_file_name(&path), 0);
    EXPECT_EQ(path.find('\0'), std::string::npos);
    EXPECT_TRUE(ends_with(path, std::string(1, kSeparator) + kOwnProgram)) << path;
}

TEST_F(RealSystem, StartingAMissingProgramFails) {
    ProcessHandle process;
    std::string line = "\"" + world.folder() + kSeparator + "Setup.exe\" -s";
    EXPECT_NE(system.start_process(line, &process), 0);
}

TEST_F(RealSystem, StartedProcessEndsWithItsExitCode) {
    ProcessHandle process;
    ASSERT_EQ(system.start_process(exit_three_command(), &process), 0);
    wait_for_end(system, process);
    uint32_t code = 0;
    EXPECT_EQ(system.process_exit_code(process, &code), 0);
    EXPECT_EQ(code, 3u);
    system.close_process(&process);
    system.close_process(&process);
    EXPECT_EQ(process.process, 0);
    EXPECT_NE(system.process_exit_code(process, &code), 0);
}

// The console handler's output runs bounded: work that ends is waited for,
// work that blocks is left behind and the caller goes on. Only atomics pass
// between the threads: the bounded wait must not lean on what it replaces.
TEST_F(RealSystem, BoundedWorkIsWaitedForUntilTheBound) {
    bool done = false;
    EXPECT_TRUE(system.run_bounded([&done] { done = true; }, 600000));
    EXPECT_TRUE(done);
    auto released = std::make_shared<std::atomic<bool>>(false);
    auto ended = std::make_shared<std::atomic<bool>>(false);
    EXPECT_FALSE(system.run_bounded(
        [released, ended] {
            while (!released->load()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            ended->store(true);
        },
        0));
    released->store(true);
    while (!ended->load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

TEST_F(RealSystem, TokenGroupsAreReadWithTheirIdentifiers) {
    std::vector<TokenGroup> groups;
    ASSERT_TRUE(system.token_groups(&groups));
    ASSERT_FALSE(groups.empty());  // the tests run as an administrator
    for (const TokenGroup& group : groups) {
        EXPECT_FALSE(group.sub_authorities.empty());
    }
}

TEST_F(RealSystem, LanguageNameIsAWholeName) {
#ifndef _WIN32
    world.set_variable("LC_ALL", "de_DE.UTF-8");
#endif
    std::string name;
    ASSERT_EQ(system.user_language_name(&name), 0);
    EXPECT_FALSE(name.empty());
    EXPECT_EQ(name.find('\0'), std::string::npos);
}

TEST_F(RealSystem, VersionAndWow64AreAnswered) {
    OsVersion version;
    ASSERT_EQ(system.os_version(&version), 0);
    EXPECT_GE(version.major, 5u);
    bool wow64 = true;
    int error = -1;
    ASSERT_EQ(system.wow64_process(&wow64, &error), Wow64Answer::Ok);
    EXPECT_EQ(error, 0);
    if (sizeof(void*) == 8) {
        EXPECT_FALSE(wow64);  // a 64-bit process is never redirected
    }
}

#ifdef _WIN32
// Wine keeps the read-only attribute as the file's permission bits, which
// do not stop root; Windows refuses everyone. POSIX tests run as root, whom
// permission bits do not stop, so this case is the Win32 layer's alone.
bool host_ignores_read_only(const std::string& file) {
    int fd = _open(file.c_str(), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        return false;
    }
    _close(fd);
    return true;
}

TEST_F(RealSystem, ReadOnlyFileRefusesEveryChangeWithAccessDenied) {
    const uint32_t kAttributeReadOnly = 0x1;
    std::string file = world.path("locked.log");
    ASSERT_EQ(system.write_file(file, "kept\r\n"), 0);
    ASSERT_EQ(_chmod(file.c_str(), _S_IREAD), 0);
    ASSERT_NE(system.file_attributes(file.c_str()) & kAttributeReadOnly, 0u);
    // Wine's server honours the bits only when it runs without root's
    // permission override (as ci/wine-prefix.sh starts it).
    ASSERT_FALSE(host_ignores_read_only(file))
        << "the wineserver ignores permission bits: start it without CAP_DAC_OVERRIDE";

    EXPECT_EQ(system.append_to_file(file, "more\r\n"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(system.write_file(file, "other\r\n"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(system.delete_file(file), ERROR_ACCESS_DENIED);
    EXPECT_EQ(read_all(system, file), "kept\r\n");
    _chmod(file.c_str(), _S_IREAD | _S_IWRITE);
}
#endif

}  // namespace
}  // namespace iz
