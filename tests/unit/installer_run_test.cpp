// The installer's command line and folder, the result check and clean-up,
// and the console control handler's three cases.
#include <gtest/gtest.h>

#include "core/run_state.h"
#include "installer/launcher.h"
#include "installer/result_check.h"
#include "main/console_control.h"
#include "messages/output.h"
#include "messages/replay.h"
#include "support/fake_system.h"

namespace iz {
namespace {

const char kLog[] = "C:\\work\\installzova.log";
const char kIss[] = "C:\\work\\setup.iss";
const char kSetupLog[] = "C:\\work\\setup.log";
const char kBat[] = "C:\\work\\setoptions.bat";

class WorkFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        state.paths = WorkPaths{kLog, kIss, kSetupLog, kBat};
        for (const char* file : {kIss, kBat}) {
            sys.files[file] = "x";
        }
    }
    void result_code(const std::string& line) {
        sys.files[kSetupLog] = "[ResponseResult]\r\n" + line + "\r\n";
    }
    FakeSystem sys;
    RunState state{sys};
};

TEST(Launcher, CommandLinesOfEachModeEndWithOneBlank) {
    struct Case {
        int check;
        int warned;
        const char* tail;
    } cases[] = {
        {0, 0, "/clone_wait -silent "},
        {1, 0, "/clone_wait -silentcheck "},
        {0, 1, "/clone_wait -silent -checkerror "},
        {1, 1, "/clone_wait -silentcheck -checkerror "},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(std::string("\"D:\\media\\Setup.exe\" -s -f1\"C:\\w\\setup.iss\" "
                              "-f2\"C:\\w\\setup.log\" ") +
                      c.tail,
                  setup_command_line("D:\\media\\Setup.exe", "C:\\w\\setup.iss", "C:\\w\\setup.log",
                                     c.check, c.warned));
    }
}

TEST(Launcher, SetupFolderFromTheSettingOrTheProgramsOwnPath) {
    struct Case {
        const char* location;
        const char* module;
        const char* folder;
        bool posix;
    } cases[] = {
        {"D:\\media", "", "D:\\media", false},
        {"", "D:\\media\\ZOVTools\\installzova.exe", "D:\\media\\", false},
        {"", "D:\\media\\zovtools\\INSTALLZOVA.EXE", "D:\\media\\", false},
        {"", "a\\ZOVTools\\installzova.exe", "a\\", false},
        // Anything else gives no folder, so nothing is started.
        {"", "E:\\x\\installzova.exe", "", false},  // too short
        {"", "ZOVTools\\installzova.exe", "", false},
        {"", "D:\\installzova-1.0\\installzova.exe", "", false},
        {"", "D:\\mediaZOVTools\\installzova.exe", "", false},
        {"", "D:\\media\\ZOVTools\\installzova.exx", "", false},
        {"", "/m/ZOVTools/installzova", "/m/", true},
        {"", "/m/zovtools/installzova", "", true},
        {"", "/tmp/installzova-1.0/installzova", "", true},
    };
    for (const Case& c : cases) {
        FakeSystem sys;
        sys.module_path = c.module;
        if (c.posix) {
            sys.separator = '/';
            sys.own_relative = "ZOVTools/installzova";
            sys.names_ignore_case = false;
        }
        RunState state(sys);
        state.value(kInstallFileLocation) = c.location;
        std::string folder = "unset";
        EXPECT_TRUE(setup_folder(state, &folder));
        EXPECT_EQ(c.folder, folder) << c.module;
    }
}

TEST_F(WorkFolder, StaleInstallerLogIsDeletedBeforeTheStart) {
    result_code("ResultCode=0");
    bool seen = true;
    sys.installer = [&](const std::string&) { seen = sys.files.count(kSetupLog) != 0; };
    EXPECT_EQ(0, launch_setup(state, 0, 0));
    EXPECT_FALSE(seen);
}

TEST_F(WorkFolder, ResultCodeZeroAfterCompletionRemovesTheWorkFilesOnce) {
    sys.files[kLog] = "log\r\n";
    result_code("ResultCode=0");
    EXPECT_EQ(0, check_setup_result(state, 1));
    EXPECT_EQ(1u, sys.files.size());
    EXPECT_EQ("log\r\n", sys.files[kLog]);
    EXPECT_TRUE(state.work_files_removed.load());
    EXPECT_EQ(0, check_setup_result(state, 1));  // setup.log is gone: silence
    EXPECT_EQ("", sys.console);
}

TEST_F(WorkFolder, ResultCodeZeroWithoutCompletionKeepsTheFiles) {
    result_code("ResultCode=0");
    EXPECT_EQ(0, check_setup_result(state, 0));
    EXPECT_EQ(3u, sys.files.size());
    EXPECT_EQ("", sys.console);
}

TEST_F(WorkFolder, AnythingButAOneCharacterZeroIsReported) {
    struct Case {
        const char* line;
        const char* shown;
        const char* trace;
    } cases[] = {
        {"ResultCode=-3", "Error Code = -3, 101245", "ResultCode=-3(2)"},
        {"ResultCode=00", "Error Code = 0, 101245", "ResultCode=00(2)"},
        {"ResultCode=1", "Error Code = 1, 101245", "ResultCode=1(1)"},
        {"ResultCode=x", "Error Code = 0, 101245", "ResultCode=x(1)"},
        {"ResultCode= 12abc", "Error Code = 12, 101245", "ResultCode=12abc(5)"},
        {"ResultCode=+7", "Error Code = 7, 101245", "ResultCode=+7(2)"},
        {"ResultCode=99999999999", "Error Code = 2147483647, 101245", "ResultCode=99999999999(11)"},
        {"ResultCode=", "Error Code = 0, 101245", "ResultCode=(0)"},
        {"Other=0", "Error Code = 0, 101245", "ResultCode=(0)"},
    };
    for (const Case& c : cases) {
        SetUp();
        sys.console.clear();
        open_run_log(state, kLog, 1, 0);
        result_code(c.line);
        EXPECT_EQ(kStatusInstallerFailed, check_setup_result(state, 1)) << c.line;
        EXPECT_EQ(std::string("QIRU09216-E An error occurred during I/O of a file that installzova "
                              "uses. ") +
                      c.shown + "\n",
                  sys.console);
        EXPECT_NE(std::string::npos, sys.files[kLog].find(std::string("00101219 ") + c.trace))
            << c.line;
        EXPECT_EQ(1u, sys.files.count(kIss));
    }
}

TEST(ResultCode, DecimalReadingOfTheValue) {
    EXPECT_EQ(-3, result_code_number("-3"));
    EXPECT_EQ(0, result_code_number("abc"));
    EXPECT_EQ(42, result_code_number("\t 42x"));
    EXPECT_EQ(-2147483647 - 1, result_code_number("-99999999999999999999"));
    EXPECT_EQ(0, result_code_number("- 3"));
}

class Handler : public WorkFolder {
  protected:
    void SetUp() override {
        WorkFolder::SetUp();
        register_console_control(state);
        ASSERT_NE(nullptr, sys.handler);
        open_run_log(state, kLog, 0, 0);
        sys.console.clear();
    }
};

TEST_F(Handler, CloseIsAbsorbedSilently) {
    EXPECT_TRUE(sys.fire(kCtrlClose));
    EXPECT_EQ("", sys.console);
    EXPECT_TRUE(sys.sleeps.empty());
    EXPECT_NE(std::string::npos, sys.files[kLog].find("00101272 dwCtrlType=2.\r\n"));
}

TEST_F(Handler, InterruptsTellTheUserTheInstallationGoesOn) {
    for (int event : {kCtrlC, kCtrlBreak, kCtrlLogoff, kCtrlShutdown}) {
        sys.console.clear();
        sys.sleeps.clear();
        EXPECT_FALSE(sys.fire(event));
        EXPECT_EQ(
            "QIRU09197-W The user terminated installzova.exe, but ZOVA installation will "
            "continue.\n",
            sys.console);
        EXPECT_EQ(std::vector<unsigned>{5000}, sys.sleeps);
    }
    EXPECT_NE(std::string::npos, sys.files[kLog].find("00101272 dwCtrlType=6.\r\n"));
}

TEST_F(Handler, ShutdownAfterACompletedRebootInstallationFinishesTheRun) {
    state.reboot_requested = true;
    sys.files[kLog] += "INFO  12-8-2026 05:14:07 QIRU09181-I Completed.\r\n";
    result_code("ResultCode=0");
    EXPECT_FALSE(sys.fire(kCtrlShutdown));
    EXPECT_EQ("QIRU09181-I Completed.\n", sys.console);
    EXPECT_EQ(0u, sys.files.count(kIss) + sys.files.count(kSetupLog) + sys.files.count(kBat));
    EXPECT_EQ(std::vector<unsigned>{5000}, sys.sleeps);
    // The main thread's own replay and check afterwards stay silent.
    int completed = 0;
    sys.console.clear();
    replay_installer_log(state, &completed);
    EXPECT_EQ(1, completed);
    EXPECT_EQ(0, check_setup_result(state, completed));
    EXPECT_EQ("", sys.console);
}

TEST_F(Handler, ShutdownBeforeCompletionOrWithoutRebootRequestIsAnInterruption) {
    for (int reboot : {0, 1}) {
        state.reboot_requested = reboot;
        state.log_replayed = false;
        sys.console.clear();
        result_code("ResultCode=0");
        EXPECT_FALSE(sys.fire(kCtrlLogoff));
        EXPECT_NE(std::string::npos, sys.console.find("QIRU09197-W")) << reboot;
        EXPECT_EQ(1u, sys.files.count(kIss));
    }
}

}  // namespace
}  // namespace iz
