// The command line, the administrator gate and the exit codes; and whole runs
// of the three modes on the fake platform, with a scripted installer: the
// order of the steps, what each leaves behind, the exit codes.
#include "main/run_main.h"

#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <vector>

#include "core/run_state.h"
#include "main/administrator.h"
#include "messages/output.h"
#include "support/fake_system.h"
#include "support/test_helpers.h"

namespace iz {
namespace {

int run(FakeSystem& sys, std::vector<const char*> args) {
    args.insert(args.begin(), "installzova.exe");
    return run_main(sys, static_cast<int>(args.size()), args.data());
}

FakeSystem administrator() {
    FakeSystem sys;
    sys.groups.push_back(administrators_group());
    return sys;
}

TEST(CommandLine, EveryShapeGivesItsMessageAndExitCode) {
    struct Case {
        std::vector<const char*> args;
        const char* output;
        int exit_code;
    } cases[] = {
        {{}, "QIRU09187-W No parameter is specified.\n", 1},
        {{"-h"}, "Usage: installzova {-f installation-information-settings-file [-c] | -h}\n", 0},
        {{"-H"}, "Usage: installzova {-f installation-information-settings-file [-c] | -h}\n", 0},
        {{"-h", "x"}, "QIRU09189-W The parameter contains an incorrect value. (Value = -h)\n", 1},
        {{"-x"}, "QIRU09189-W The parameter contains an incorrect value. (Value = -x)\n", 1},
        {{"-f"}, "QIRU09190-W The installation information settings file is not specified.\n", 1},
        {{"-F"}, "QIRU09190-W The installation information settings file is not specified.\n", 1},
        {{"-f", "a", "b"}, "QIRU09188-W Too many parameters are specified.\n", 1},
        {{"-h", "a", "-c"}, "QIRU09188-W Too many parameters are specified.\n", 1},
        {{"-f", "a", "-c", "x"}, "QIRU09188-W Too many parameters are specified.\n", 1},
        {{"-f", "a", "-t", "x", "y"}, "QIRU09188-W Too many parameters are specified.\n", 1},
    };
    for (const Case& c : cases) {
        FakeSystem sys = administrator();
        EXPECT_EQ(c.exit_code, run(sys, c.args)) << c.output;
        EXPECT_EQ(c.output, sys.console);
    }
}

TEST(CommandLine, ModesAreRecognisedWithoutRegardToCase) {
    struct Case {
        std::vector<const char*> args;
        RunMode mode;
    } cases[] = {
        {{"-f", "s.ini"}, kModeInstall},           {{"-F", "s.ini"}, kModeInstall},
        {{"-f", "s.ini", "-c"}, kModeCheck},       {{"-f", "s.ini", "-C"}, kModeCheck},
        {{"-f", "s.ini", "-t"}, kModeOptionsOnly}, {{"-F", "s.ini", "-T"}, kModeOptionsOnly},
        {{"-f", "-c", "-t"}, kModeOptionsOnly},  // the file argument is not inspected
        {{"-c", "s.ini"}, kModeParameterError},
    };
    for (const Case& c : cases) {
        FakeSystem sys;
        RunState state(sys);
        std::vector<const char*> args = c.args;
        args.insert(args.begin(), "installzova");
        EXPECT_EQ(c.mode, parse_arguments(state, static_cast<int>(args.size()), args.data()));
    }
}

TEST(CommandLine, ParameterMessagesAreJapaneseForAJapaneseUser) {
    FakeSystem sys = administrator();
    sys.language_name = "Japanese";
    EXPECT_EQ(1, run(sys, {"-x"}));
    EXPECT_EQ("QIRU09189-W ", sys.console.substr(0, 12));
    EXPECT_NE(std::string::npos, sys.console.find("= -x\n"));
    EXPECT_EQ(std::string::npos, sys.console.find("(Value"));
}

TEST(Administrator, NonAdministratorGetsMessageZeroWhateverTheCommandLine) {
    for (std::vector<const char*> args : std::vector<std::vector<const char*>>{
             {}, {"-h"}, {"-f", "C:\\s.ini"}, {"-f", "a", "-t"}}) {
        FakeSystem sys;
        sys.groups.push_back(TokenGroup{{32, 545}, 0x7});
        EXPECT_EQ(2, run(sys, args));
        EXPECT_EQ(
            "QIRU09001-E There is no system management permission.\n"
            "Login with administrator permission and re-install ZOVA.\n",
            sys.console);
    }
}

TEST(ExitCode, StatusesMapToZeroOneOrNinetyNineOrTheBusyAndRestartCodes) {
    for (bool narrow : {false, true}) {
        EXPECT_EQ(0, exit_code_for(kStatusOk, narrow));
        EXPECT_EQ(1, exit_code_for(kStatusParameterError, narrow));
        for (int status : {2, 3, 4, 6, 7, 8, 9, 10}) {
            EXPECT_EQ(99, exit_code_for(status, narrow)) << status;
        }
    }
    EXPECT_EQ(1618, exit_code_for(kStatusBusy, false));
    EXPECT_EQ(350, exit_code_for(kStatusRestartPending, false));
    EXPECT_EQ(75, exit_code_for(kStatusBusy, true));
    EXPECT_EQ(69, exit_code_for(kStatusRestartPending, true));
}

TEST(WorkPaths, SuffixesAreAppendedEvenAfterATrailingSeparator) {
    FakeSystem sys;
    RunState state(sys);
    state.value(kWorkDir) = "C:\\Temp\\";
    build_work_paths(state);
    EXPECT_EQ("C:\\Temp\\\\installzova.log", state.paths.run_log);
    EXPECT_EQ("C:\\Temp\\\\setup.iss", state.paths.response);
    EXPECT_EQ("C:\\Temp\\\\setup.log", state.paths.installer_log);
    EXPECT_EQ("C:\\Temp\\\\setoptions.bat", state.paths.options);
}

const char kGoodSettings[] =
    "[ZOVA]\r\nfileversion=0201\r\nzovaversion=08-10\r\n"
    "[INSTALLATION_SETTINGS]\r\nworkdir=C:\\work\r\ninstalldir=D:\\zova\r\n"
    "[ENVIRONMENT_SETTINGS]\r\nload_balance=on\r\n";

class InstallFlow : public ::testing::Test {
  protected:
    void SetUp() override {
        sys.groups.push_back(administrators_group());
        sys.folders.insert(kWork);
        sys.files[kSettingsFile] = kGoodSettings;
        sys.time = LocalTime{2026, 12, 8, 5, 14, 6};
    }

    // The installer: appends its lines after whatever the log holds, writes
    // its result code.
    void installer(const std::string& lines, const char* result, bool writes_log = true) {
        sys.installer = [this, lines, result, writes_log](const std::string&) {
            sys.files[kLog] += lines;
            if (writes_log) {
                sys.files[kSetupLog] =
                    std::string("[ResponseResult]\r\nResultCode=") + result + "\r\n";
            }
        };
    }

    int run(std::vector<const char*> args) { return iz::run(sys, std::move(args)); }

    FakeSystem sys;
};

const char kCompleted[] =
    "INFO  12-8-2026 05:14:07 QIRU09230-I Installing.\r\n"
    "INFO  12-8-2026 05:14:08 QIRU09179-I Data for maintenance: 00990001 hidden\r\n"
    "continued line\r\n"
    "INFO  12-8-2026 05:14:09 QIRU09181-I Installation completed.\r\n";

TEST_F(InstallFlow, CompletedInstallationEchoesTheInstallerAndRemovesTheWorkFiles) {
    installer(kCompleted, "0");
    EXPECT_EQ(0, run({"-f", kSettingsFile}));
    EXPECT_EQ(
        "QIRU09180-I ZOVA installation will now start.\n"
        "QIRU09230-I Installing.\n"
        "continued line\n"
        "QIRU09181-I Installation completed.\n",
        sys.console);
    EXPECT_EQ(0u, sys.files.count(kIss));
    EXPECT_EQ(0u, sys.files.count(kSetupLog));
    EXPECT_EQ(0u, sys.files.count(kBat));
    ASSERT_EQ(1u, sys.command_lines.size());
    EXPECT_EQ(
        "\"D:\\media\\\\Setup.exe\" -s -f1\"C:\\work\\setup.iss\" -f2\"C:\\work\\setup.log\" "
        "/clone_wait -silent ",
        sys.command_lines[0]);
    const std::string& log = sys.files[kLog];
    EXPECT_EQ(0u, log.find("INFO  12-8-2026 05:14:06 QIRU09180-I ZOVA installation will now "
                           "start.\r\n"
                           "INFO  12-8-2026 05:14:06 QIRU09179-I Data for maintenance: 00100620 "
                           "-f=C:\\s.ini\r\n"
                           "INFO  12-8-2026 05:14:06 QIRU09179-I Data for maintenance: 00100635 "
                           "fileversion=0201\r\n"));
    EXPECT_NE(std::string::npos, log.find("00101177 GetExitCodeProcess(0) = 1\r\n"));
    EXPECT_NE(std::string::npos, log.find("00101219 ResultCode=0(1)\r\n"));
    EXPECT_EQ(1u, sys.closed_processes);
}

TEST_F(InstallFlow, CheckModeWritesNoOptionsFileAndKeepsTheWorkFiles) {
    // A check logs no completion marker: nothing is removed.
    installer("INFO  12-8-2026 05:14:07 QIRU09232-I Checked.\r\n", "0");
    EXPECT_EQ(0, run({"-f", kSettingsFile, "-c"}));
    EXPECT_EQ("QIRU09232-I Checked.\n", sys.console);
    EXPECT_EQ(0u, sys.files.count(kBat));
    EXPECT_EQ(1u, sys.files.count(kIss));
    EXPECT_EQ(1u, sys.files.count(kSetupLog));
    EXPECT_NE(std::string::npos, sys.command_lines[0].find("/clone_wait -silentcheck "));
    EXPECT_EQ(' ', sys.command_lines[0].back());
    EXPECT_NE(std::string::npos, sys.files[kLog].find("00100622 -c\r\n"));
}

TEST_F(InstallFlow, WarningsAddCheckErrorAndAMaintenanceStartLine) {
    sys.files[kSettingsFile] = std::string(kGoodSettings) + "error_log_size=10M\r\n";
    installer(kCompleted, "0");
    EXPECT_EQ(0, run({"-f", kSettingsFile}));
    EXPECT_EQ(0u, sys.console.find(bad_definition("error_log_size", "10M") +
                                   "QIRU09230-I Installing.\n"));
    EXPECT_EQ(std::string::npos, sys.console.find("QIRU09180-I"));
    const std::string& cmd = sys.command_lines[0];
    EXPECT_EQ("-silent -checkerror ", cmd.substr(cmd.size() - 20));
    EXPECT_EQ(0u, sys.files[kLog].find("INFO  12-8-2026 05:14:06 QIRU09179-I Data for "
                                       "maintenance: 00300298 Installation check starts.\r\n"));
    // The warning came before the run log existed.
    EXPECT_EQ(std::string::npos, sys.files[kLog].find("QIRU09193-W"));
}

TEST_F(InstallFlow, FailedOrMissingResultCodeEndsWithNinetyNine) {
    struct Case {
        const char* result;
        bool writes_log;
        const char* message;
    } cases[] = {
        {"-3", true, "Error Code = -3, 101245"},
        {"00", true, "Error Code = 0, 101245"},
        {"1603", true, "Error Code = 1603, 101245"},
        {"", false, "Error Code = 0, 101245"},
    };
    for (const Case& c : cases) {
        sys = FakeSystem();
        SetUp();
        installer(kCompleted, c.result, c.writes_log);
        EXPECT_EQ(99, run({"-f", kSettingsFile})) << c.result;
        EXPECT_NE(std::string::npos, sys.console.find(c.message)) << sys.console;
        EXPECT_EQ(1u, sys.files.count(kIss));  // kept for the administrator to look at
    }
}

TEST_F(InstallFlow, StaleSetupLogOfAnEarlierRunIsNeverTakenAsThisRunsResult) {
    sys.files[kSetupLog] = "[ResponseResult]\r\nResultCode=0\r\n";
    installer(kCompleted, "0", false);
    EXPECT_EQ(99, run({"-f", kSettingsFile}));
    EXPECT_NE(std::string::npos, sys.console.find("Error Code = 0, 101245"));
}

TEST_F(InstallFlow, InstallerExitCodeDecidesNothing) {
    installer(kCompleted, "0");
    sys.exit_code = 3;
    EXPECT_EQ(0, run({"-f", kSettingsFile}));
    EXPECT_NE(std::string::npos, sys.files[kLog].find("GetExitCodeProcess(3) = 1"));
}

TEST_F(InstallFlow, EachFailingStepEndsTheRunWithItsMessage) {
    struct Case {
        const char* name;
        std::function<void(FakeSystem&)> stage;
        const char* message;
        bool installer_started;
    } cases[] = {
        {"settings file held by another program",
         [](FakeSystem& s) { s.unreadable[kSettingsFile] = 32; },
         "QIRU09198-E An error occurred in I/O of the installation information settings file. "
         "Code = 32 100380",
         false},
        {"work folder others may change", [](FakeSystem& s) { s.unsafe_folders[kWork] = 5; },
         "Error Code = 5, 100560", false},
        {"read-only setup.iss", [](FakeSystem& s) { s.read_only.insert(kIss); },
         "Error Code = 5, 100659", false},
        {"read-only setoptions.bat", [](FakeSystem& s) { s.read_only.insert(kBat); },
         "Error Code = 5, 100918", false},
        {"read-only run log", [](FakeSystem& s) { s.read_only.insert(kLog); }, "Code = 5 300316",
         false},
        // Links and other users' files in a shared work folder.
        {"another user's setup.iss", [](FakeSystem& s) { s.refused[kIss] = 1307; },
         "Error Code = 1307, 100659", false},
        {"setoptions.bat a link", [](FakeSystem& s) { s.refused[kBat] = 1920; },
         "Error Code = 1920, 100918", false},
        {"run log a link", [](FakeSystem& s) { s.refused[kLog] = 1920; }, "Code = 1920 300316",
         false},
        {"stale setup.log undeletable",
         [](FakeSystem& s) {
             s.files[kSetupLog] = "[ResponseResult]\r\nResultCode=0\r\n";
             s.undeletable[kSetupLog] = 5;
         },
         "Error Code = 5, 101130", false},
        {"setup.log another user's after the installer",
         [](FakeSystem& s) { s.refused[kSetupLog] = 1307; }, "Error Code = 0, 101245", true},
        {"program copied out of the media",
         [](FakeSystem& s) { s.module_path = "D:\\installzova-1.0\\installzova.exe"; },
         "QIRU09195-W The setup.exe file does not exist.", false},
        {"no Setup.exe", [](FakeSystem& s) { s.start_error = 2; },
         "QIRU09195-W The setup.exe file does not exist.", true},
        {"wait fails", [](FakeSystem& s) { s.wait_error = 6; }, "Code = 6 101165", true},
        {"exit code unreadable",
         [](FakeSystem& s) {
             s.exit_code_readable = false;
             s.error = 5;
         },
         "Code = 5 101181", true},
        {"own path unavailable",
         [](FakeSystem& s) {
             s.module_path_fails = true;
             s.error = 122;
         },
         "Code = 122 101082", false},
    };
    for (const Case& c : cases) {
        sys = FakeSystem();
        SetUp();
        installer(kCompleted, "0");
        c.stage(sys);
        EXPECT_EQ(99, run({"-f", kSettingsFile})) << c.name;
        EXPECT_NE(std::string::npos, sys.console.find(c.message)) << c.name << ": " << sys.console;
        EXPECT_EQ(c.installer_started, !sys.command_lines.empty()) << c.name;
        if (sys.work_folders_opened.empty() || sys.unsafe_folders.count(kWork) != 0) {
            // Stopped before the work folder was used: nothing written in it.
            EXPECT_EQ(1u, sys.files.size()) << c.name;
        }
    }
}

TEST_F(InstallFlow, HandlerIsUnregisteredAfterTheLastStepWhileTheStateLives) {
    // An event that comes as the run ends still finds the run's state, and
    // finds it after the result check, the last step that uses it.
    installer(kCompleted, "0");
    sys.event_at_unregister = kCtrlClose;
    EXPECT_EQ(0, run({"-f", kSettingsFile}));
    EXPECT_EQ(nullptr, sys.handler);
    const std::string& log = sys.files[kLog];
    size_t result = log.find("00101219 ResultCode=0(1)\r\n");
    ASSERT_NE(std::string::npos, result);
    EXPECT_NE(std::string::npos, log.find("00101272 dwCtrlType=2.\r\n", result));
}

TEST_F(InstallFlow, MissingSetupIsTracedWithTheSetupPath) {
    sys.start_error = 2;
    EXPECT_EQ(99, run({"-f", kSettingsFile}));
    EXPECT_NE(std::string::npos,
              sys.files[kLog].find("00101155 CreateProcess(D:\\media\\\\Setup.exe) = 0\r\n"));
    EXPECT_NE(std::string::npos, sys.files[kLog].find("QIRU09195-W"));
}

TEST_F(InstallFlow, OptionsOnlyWritesTheOptionsFileAndNothingElse) {
    EXPECT_EQ(0, run({"-f", kSettingsFile, "-t"}));
    EXPECT_EQ("zovactl set -lb on -s\r\n", sys.files[kBat]);
    EXPECT_EQ(0u, sys.files.count(kIss));
    EXPECT_EQ(0u, sys.files.count(kLog));
    EXPECT_TRUE(sys.command_lines.empty());
    EXPECT_EQ(nullptr, sys.handler);
    EXPECT_EQ("", sys.console);
}

TEST_F(InstallFlow, OptionsOnlyWithWarningsWritesNothing) {
    sys.files[kSettingsFile] = std::string(kGoodSettings) + "load_balance_type=rr1\r\n";
    EXPECT_EQ(99, run({"-f", kSettingsFile, "-t"}));
    EXPECT_EQ(0u, sys.files.count(kBat));
    EXPECT_NE(std::string::npos, sys.console.find("(load_balance_type=rr1)"));
}

TEST_F(InstallFlow, MissingSettingsFileStopsEveryMode) {
    for (const char* mode : {"", "-c", "-t"}) {
        sys.console.clear();
        std::vector<const char*> args = {"-f", "C:\\missing.ini"};
        if (mode[0] != '\0') {
            args.push_back(mode);
        }
        EXPECT_EQ(99, run(args));
        EXPECT_EQ(kMissingFile, sys.console);
    }
}

}  // namespace
}  // namespace iz
