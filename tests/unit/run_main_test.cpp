// The command line, the administrator gate and the exit codes; and whole runs
// of the three modes on the fake platform, with a scripted installer: the
// order of the steps, what each leaves behind, the exit codes.
#include "main/run_main.h"

#include <gtest/gtest.h>

#include <functional>
#include <nlohmann/json.hpp>
#include <utility>
#include <vector>

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
        {{"-f", "s.ini"}, RunMode::Install},
        {{"-F", "s.ini"}, RunMode::Install},
        {{"-f", "s.ini", "-c"}, RunMode::Check},
        {{"-f", "s.ini", "-C"}, RunMode::Check},
        {{"-f", "s.ini", "-t"}, RunMode::OptionsOnly},
        {{"-F", "s.ini", "-T"}, RunMode::OptionsOnly},
        {{"-f", "-c", "-t"}, RunMode::OptionsOnly},  // the file argument is not inspected
        {{"-c", "s.ini"}, RunMode::ParameterError},
    };
    for (const Case& c : cases) {
        FakeSystem sys;
        Output out(sys);
        std::vector<const char*> args = c.args;
        args.insert(args.begin(), "installzova");
        EXPECT_EQ(c.mode, parse_arguments(out, static_cast<int>(args.size()), args.data()));
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

TEST(Administrator, NonAdministratorGetsNoPermissionWhateverTheCommandLine) {
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
        EXPECT_EQ(0, exit_code_for(Status::Ok, narrow));
        EXPECT_EQ(1, exit_code_for(Status::ParameterError, narrow));
        for (Status status :
             {Status::SettingsFile, Status::NoDefault, Status::Warnings, Status::ResponseFile,
              Status::RunLog, Status::Setup, Status::OptionsFile, Status::InstallerFailed,
              Status::WorkFolder, Status::ResultRecord}) {
            EXPECT_EQ(99, exit_code_for(status, narrow)) << static_cast<int>(status);
        }
    }
    EXPECT_EQ(1618, exit_code_for(Status::Busy, false));
    EXPECT_EQ(350, exit_code_for(Status::RestartPending, false));
    EXPECT_EQ(75, exit_code_for(Status::Busy, true));
    EXPECT_EQ(69, exit_code_for(Status::RestartPending, true));
}

TEST(WorkPaths, SuffixesAreAppendedEvenAfterATrailingSeparator) {
    WorkPaths paths = build_work_paths("C:\\Temp\\", '\\');
    EXPECT_EQ("C:\\Temp\\\\installzova.log", paths.run_log);
    EXPECT_EQ("C:\\Temp\\\\setup.iss", paths.response);
    EXPECT_EQ("C:\\Temp\\\\setup.log", paths.installer_log);
    EXPECT_EQ("C:\\Temp\\\\setoptions.bat", paths.options);
    EXPECT_EQ("C:\\Temp\\\\installzova-result.json", paths.result_record);
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

    // The result record the run left, parsed; null when there is none.
    nlohmann::json record() {
        auto found = sys.files.find(kRecord);
        return found == sys.files.end() ? nlohmann::json() : nlohmann::json::parse(found->second);
    }

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
    sys.event_at_unregister = ConsoleEvent::Close;
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

const char kProductKey[] = "SOFTWARE\\KESTRON\\PathSentryMultiway";

TEST_F(InstallFlow, ResultRecordTellsWhatTheRunDid) {
    // The installer installs the core components; before it, nothing was.
    sys.installer = [this](const std::string&) {
        sys.files[kLog] += kCompleted;
        sys.files[kSetupLog] = "[ResponseResult]\r\nResultCode=0\r\n";
        sys.registry[kProductKey]["InstallationOption"] = "Core";
    };
    sys.files[kLog] = "an earlier run\r\n";
    std::string settings = kGoodSettings;
    settings.insert(settings.find("[ENVIRONMENT_SETTINGS]"), "restart=y\r\n");
    sys.files[kSettingsFile] = settings;
    sys.exit_code = 3010;
    EXPECT_EQ(0, run({"-f", kSettingsFile}));
    nlohmann::json r = record();
    EXPECT_EQ(1, r["format"]);
    EXPECT_EQ("install", r["mode"]);
    EXPECT_EQ(0, r["exit_code"]);
    EXPECT_EQ(3010, r["installer_exit_code"]);
    EXPECT_EQ(0, r["installer_result_code"]);
    EXPECT_EQ(true, r["installation_completed"]);
    EXPECT_EQ(true, r["work_files_removed"]);
    EXPECT_EQ(nlohmann::json::array(), r["warnings"]);
    EXPECT_EQ("C:\\s.ini", r["settings_file"]);
    EXPECT_EQ(kLog, r["run_log"]);
    EXPECT_EQ(16, r["run_log_start"]);  // just after the earlier run
    EXPECT_EQ(sys.files[kLog].size(), r["run_log_end"]);
    EXPECT_EQ("2026-12-07T20:14:06Z", r["started_at"]);
    EXPECT_EQ("2026-12-07T20:14:06Z", r["ended_at"]);
    EXPECT_EQ(0, r["seconds_waited"]);
    EXPECT_EQ(nlohmann::json::array(), r["pending_restart_sources"]);
    EXPECT_EQ("warn", r["pending_reboot_policy"]);
    EXPECT_EQ(true, r["restart_requested"]);
    EXPECT_EQ(nullptr, r["installed_option_before"]);
    EXPECT_EQ("Core", r["installed_option_after"]);
}

TEST_F(InstallFlow, ResultRecordOfEachModeAndOutcome) {
    struct Case {
        const char* name;
        std::vector<const char*> args;
        const char* extra_settings;
        const char* result;  // null: the installer writes no setup.log
        int exit_code;
        const char* mode;
        nlohmann::json result_code;
        bool completed;
        bool has_run_log;
        nlohmann::json warnings;
    } cases[] = {
        {"failed installation",
         {"-f", kSettingsFile},
         "",
         "-3",
         99,
         "install",
         -3,
         true,
         true,
         nlohmann::json::array()},
        {"no result code",
         {"-f", kSettingsFile},
         "",
         nullptr,
         99,
         "install",
         nullptr,
         true,
         true,
         nlohmann::json::array()},
        {"check",
         {"-f", kSettingsFile, "-c"},
         "",
         "0",
         0,
         "check",
         0,
         true,
         true,
         nlohmann::json::array()},
        // The value as written, converted from the system's code page.
        {"warnings",
         {"-f", kSettingsFile},
         "load_balance_type=r\xE9"
         "1\r\nerror_log_size=10M\r\n",
         "0",
         0,
         "install",
         0,
         true,
         true,
         {{{"message", "QIRU09193-W"}, {"key", "load_balance_type"}, {"value", "r\u00e91"}},
          {{"message", "QIRU09193-W"}, {"key", "error_log_size"}, {"value", "10M"}}}},
        // The program's own section warns like the product's settings.
        {"program setting warning",
         {"-f", kSettingsFile},
         "[INSTALLZOVA]\r\nwait_seconds=soon\r\n",
         "0",
         0,
         "install",
         0,
         true,
         true,
         {{{"message", "QIRU09307-W"}, {"key", "wait_seconds"}, {"value", "soon"}}}},
        {"options only",
         {"-f", kSettingsFile, "-t"},
         "",
         nullptr,
         0,
         "options_only",
         nullptr,
         false,
         false,
         nlohmann::json::array()},
        {"options only, warnings",
         {"-f", kSettingsFile, "-t"},
         "fileversion=0301\r\n",
         nullptr,
         99,
         "options_only",
         nullptr,
         false,
         false,
         {{{"message", "QIRU09192-W"}, {"key", "fileversion"}, {"value", "0301"}}}},
    };
    for (const Case& c : cases) {
        sys = FakeSystem();
        SetUp();
        // A later fileversion overrides the first: the profile reader takes the first.
        std::string settings = kGoodSettings;
        if (std::string(c.extra_settings).find("fileversion") != std::string::npos) {
            settings.replace(settings.find("fileversion=0201"), 16, "fileversion=0301");
        } else {
            settings += c.extra_settings;
        }
        sys.files[kSettingsFile] = settings;
        installer(kCompleted, c.result == nullptr ? "" : c.result, c.result != nullptr);
        EXPECT_EQ(c.exit_code, run(c.args)) << c.name;
        nlohmann::json r = record();
        EXPECT_EQ(c.mode, r["mode"]) << c.name;
        EXPECT_EQ(c.exit_code, r["exit_code"]) << c.name;
        EXPECT_EQ(c.result_code, r["installer_result_code"]) << c.name;
        EXPECT_EQ(c.completed, r["installation_completed"]) << c.name;
        EXPECT_EQ(c.has_run_log, !r["run_log"].is_null()) << c.name;
        EXPECT_EQ(c.has_run_log, !r["run_log_start"].is_null()) << c.name;
        EXPECT_EQ(c.warnings, r["warnings"]) << c.name;
        EXPECT_FALSE(r["ended_at"].is_null()) << c.name;
    }
}

TEST_F(InstallFlow, RunsThatNeverReadTheirSettingsWriteNoRecord) {
    std::vector<std::vector<const char*>> command_lines = {
        {"-h"}, {}, {"-x"}, {"-f"}, {"-f", "C:\\missing.ini"}, {"-f", "C:\\missing.ini", "-t"}};
    for (const std::vector<const char*>& args : command_lines) {
        EXPECT_NE(2, run(args));
        EXPECT_EQ(0u, sys.files.count(kRecord)) << (args.empty() ? "" : args[0]);
    }
    FakeSystem user;
    user.files[kSettingsFile] = kGoodSettings;
    user.folders.insert(kWork);
    EXPECT_EQ(2, iz::run(user, {"-f", kSettingsFile}));
    EXPECT_EQ(0u, user.files.count(kRecord));
}

TEST_F(InstallFlow, RecordThatCannotBeWrittenIsAFailure) {
    // Refused before the run: nothing is started, nothing else written.
    sys.refused[kRecord] = 40;
    installer(kCompleted, "0");
    EXPECT_EQ(99, run({"-f", kSettingsFile}));
    EXPECT_EQ(file_io_error(40, 101300), sys.console);
    EXPECT_TRUE(sys.command_lines.empty());
    EXPECT_EQ(0u, sys.files.count(kLog));
    EXPECT_EQ(0u, sys.files.count(kIss));
    // Refused only at the end: the installation stands, but no record tells of it.
    sys = FakeSystem();
    SetUp();
    sys.installer = [this](const std::string&) {
        sys.files[kLog] += kCompleted;
        sys.files[kSetupLog] = "[ResponseResult]\r\nResultCode=0\r\n";
        sys.read_only.insert(kRecord);
    };
    EXPECT_EQ(99, run({"-f", kSettingsFile}));
    EXPECT_NE(std::string::npos, sys.console.find(file_io_error(5, 101310)));
    EXPECT_TRUE(record()["exit_code"].is_null());  // the record begun before the run
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
