// Faults from outside: files the program may not write, a work folder that
// is gone, an installer that dies, two runs in the same second. Run
// natively: they need permissions that root does not honour and signals.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>

#include "e2e/install_fixture.h"
#include "support/run_log_prefix.h"
#include "support/test_helpers.h"

namespace e2e {
namespace {

const char kEarlier[] = "INFO  12-8-2026 05:14:06 QIRU09180-I an earlier run\r\nits lines\r\n";

class FaultsNative : public InstallRun {
  protected:
    void SetUp() override {
        InstallRun::SetUp();
        write_settings();
        box.write("work/installzova.log", kEarlier);
        options.without_dac_override = true;
    }
    void make_read_only(const std::string& relative) {
        if (!box.exists(relative)) {
            box.write(relative, "read-only\r\n");
        }
        chmod(box.path(relative).c_str(), 0444);
    }
};

TEST_F(FaultsNative, ReadOnlyWorkFilesStopTheRunBeforeTheInstaller) {
    struct Case {
        const char* file;
        const char* message;
        std::vector<std::string> left;
    } cases[] = {
        {"work/setup.iss",
         "QIRU09216-E An error occurred during I/O of a file that installzova uses. Error Code = "
         "13, 100659\n",
         {"installzova-result.json", "installzova.log", "setup.iss"}},
        {"work/setoptions.bat",
         "QIRU09216-E An error occurred during I/O of a file that installzova uses. Error Code = "
         "13, 100918\n",
         {"installzova-result.json", "installzova.log", "setoptions.bat", "setup.iss"}},
        {"work/installzova.log",
         "QIRU09034-E An Internal error occurred in the ZOVA Installer. Code = 13 300316\n",
         {"installzova-result.json", "installzova.log", "setoptions.bat", "setup.iss"}},
    };
    for (const Case& c : cases) {
        box.remove("work");
        box.make_folder("work");
        box.write("work/installzova.log", kEarlier);
        make_read_only(c.file);
        RunResult r = install();
        EXPECT_EQ(99, r.exit_code) << c.file;
        EXPECT_EQ(c.message, r.out) << c.file;
        EXPECT_EQ(c.left, box.list("work")) << c.file;
        EXPECT_EQ(kEarlier, box.read("work/installzova.log")) << c.file;
        EXPECT_FALSE(box.exists("received.txt")) << c.file;
    }
}

TEST_F(FaultsNative, WorkFolderGoneBeforeTheWriting) {
    // A folder that still answers as a folder but takes no new file: the
    // current folder of a process after the folder was removed.
    box.make_folder("gone");
    RunOptions in_gone;
    in_gone.cwd = box.path("gone");
    std::string out = box.path("sleep.txt");
    pid_t holder = start("/bin/sleep", {"30"}, in_gone, out);
    box.remove("gone");
    std::string folder = "/proc/" + std::to_string(holder) + "/cwd";
    std::string settings = box.read("install.ini");
    settings.replace(settings.find(box.at("work")), box.at("work").size(), folder);
    box.write("install.ini", settings);
    RunResult r = install();
    kill(holder, SIGKILL);
    finish(holder, out);
    EXPECT_EQ(99, r.exit_code);
    // The result record is the first file the run writes there.
    EXPECT_EQ(iz::file_io_error(2, 101300), r.out);
    EXPECT_FALSE(box.exists("received.txt"));
}

TEST_F(FaultsNative, InstallerKilledBySignalIsAFailedInstallation) {
    options.env["TEST_INSTALLER_KILL"] = "9";
    RunResult r = install();
    EXPECT_EQ(99, r.exit_code);
    EXPECT_NE(std::string::npos,
              r.out.find("QIRU09216-E An error occurred during I/O of a file that installzova "
                         "uses. Error Code = 0, 101245\n"));
    std::string log = box.read("work/installzova.log");
    EXPECT_EQ(0u, log.find(kEarlier));
    EXPECT_NE(std::string::npos, log.find("00101177 GetExitCodeProcess(89) = 1\r\n"));
    EXPECT_TRUE(box.exists("work/setup.iss"));
}

TEST_F(FaultsNative, SecondRunInTheSameSecondReportsOnlyItself) {
    // Whichever second the run starts in, a completed earlier run of that
    // second is in the log already: one for every second of the next hour.
    // The start lines are then the same, however slow the machine.
    const std::string kStart = "QIRU09180-I ZOVA installation will now start.";
    std::string log = kEarlier;
    std::time_t now = std::time(nullptr);
    for (std::time_t second = now; second < now + 3600; ++second) {
        std::string prefix = iz_test::run_log_prefix(second);
        log += prefix + kStart + "\r\n" + prefix + "QIRU09230-I the earlier run\r\n" + prefix +
               "QIRU09181-I ZOVA installation completed.\r\n";
    }
    box.write("work/installzova.log", log);
    options.env["TEST_INSTALLER_COMPLETE"] = "0";
    RunResult r = install();
    std::string after = box.read("work/installzova.log");
    size_t own = after.rfind(kStart);
    ASSERT_NE(std::string::npos, own);
    size_t line = after.rfind("\r\n", own) + 2;
    ASSERT_LT(after.find(after.substr(line, own - line + kStart.size())), line)
        << "the run started more than an hour after the log was written";
    EXPECT_EQ(0, r.exit_code);
    EXPECT_EQ(kStart + "\nQIRU09230-I Installing ZOVA (All) into " + box.at("zova") + ".\n", r.out);
    // Without its own completion marker the run keeps its files.
    EXPECT_TRUE(box.exists("work/setup.iss"));
    EXPECT_TRUE(box.exists("work/setoptions.bat"));
}

}  // namespace
}  // namespace e2e
