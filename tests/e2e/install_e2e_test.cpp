// Install and Check runs with the test installer as Setup.exe.
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "e2e/install_fixture.h"
#include "support/test_helpers.h"

namespace e2e {
namespace {

const char kStart[] = "QIRU09180-I ZOVA installation will now start.\n";
const char kCompleted[] = "QIRU09181-I ZOVA installation completed.\n";

TEST_F(InstallRun, CleanInstallEchoesTheInstallerAndRemovesTheWorkFiles) {
    write_settings();
    box.write("work/installzova.log", "an earlier run\r\n");
    RunResult r = install();
    EXPECT_EQ(0, r.exit_code) << r.out << r.err;
    EXPECT_EQ(std::string(kStart) + "QIRU09230-I Installing ZOVA (All) into " + box.at("zova") +
                  ".\n" + kCompleted,
              r.out);
    EXPECT_EQ((std::vector<std::string>{"installzova-result.json", "installzova.log"}),
              box.list("work"));
    EXPECT_EQ(expected_command_line("-silent "), received());
    std::string log = box.read("work/installzova.log");
    EXPECT_EQ(0u, log.find("an earlier run\r\nINFO "));
    EXPECT_NE(std::string::npos, log.find(" QIRU09180-I ZOVA installation will now start.\r\n"));
    EXPECT_NE(std::string::npos, log.find("00100620 -f=" + box.at("install.ini") + "\r\n"));
    EXPECT_NE(std::string::npos, log.find("00100635 remove_lu_force=\r\n"));
    EXPECT_NE(std::string::npos, log.find("00101177 GetExitCodeProcess(0) = 1\r\n"));
    EXPECT_NE(std::string::npos, log.find("00101219 ResultCode=0(1)\r\n"));
    // The record's offsets hold this run's lines, from its start line to the end.
    nlohmann::json record = nlohmann::json::parse(box.read("work/installzova-result.json"));
    EXPECT_EQ(1, record["format"]);
    EXPECT_EQ("install", record["mode"]);
    EXPECT_EQ(0, record["exit_code"]);
    EXPECT_EQ(0, record["installer_exit_code"]);
    EXPECT_EQ(0, record["installer_result_code"]);
    EXPECT_EQ(true, record["installation_completed"]);
    EXPECT_EQ(true, record["work_files_removed"]);
    EXPECT_EQ(16, record["run_log_start"]);
    EXPECT_EQ(log.size(), record["run_log_end"]);
    EXPECT_EQ(log.substr(16, 5), "INFO ");
    EXPECT_TRUE(record["ended_at"].get<std::string>() >= record["started_at"].get<std::string>());
}

TEST_F(InstallRun, CheckRunKeepsTheWorkFilesAndWritesNoOptionsFile) {
    write_settings();
    RunResult r = install({"-c"});
    EXPECT_EQ(0, r.exit_code) << r.out << r.err;
    EXPECT_EQ(
        "QIRU09232-I Checking the installation environment.\n"
        "QIRU09233-I The installation environment check finished.\n",
        r.out);
    EXPECT_EQ((std::vector<std::string>{"installzova-result.json", "installzova.log", "setup.iss",
                                        "setup.log"}),
              box.list("work"));
    EXPECT_EQ(expected_command_line("-silentcheck "), received());
    std::string log = box.read("work/installzova.log");
    EXPECT_NE(
        std::string::npos,
        log.find("QIRU09179-I Data for maintenance: 00300298 Installation check starts.\r\n"));
    EXPECT_NE(std::string::npos, log.find("00100622 -c\r\n"));
    EXPECT_EQ(std::string::npos, log.find("QIRU09180-I"));
}

TEST_F(InstallRun, WarningsMakeTheInstallerCheckErrors) {
    write_settings("storage_emc=yes\r\n", "error_log_size=10M\r\n");
    RunResult r = install();
    EXPECT_EQ(0, r.exit_code) << r.out;
    EXPECT_EQ(0u, r.out.find(iz::bad_definition("storage_emc", "ye") +
                             iz::bad_definition("error_log_size", "10M") + "QIRU09230-I"));
    EXPECT_EQ(expected_command_line("-silent -checkerror "), received());
    std::string log = box.read("work/installzova.log");
    EXPECT_EQ(25u, log.find("QIRU09179-I Data for maintenance: 00300298 Installation check "
                            "starts.\r\n"));
    EXPECT_EQ(std::string::npos, log.find("QIRU09193-W"));  // warnings precede the run log
}

TEST_F(InstallRun, FailedOrMissingResultCodeIsReportedAndEndsWithNinetyNine) {
    struct Case {
        const char* name;
        const char* value;
        const char* shown;
    } cases[] = {
        {"TEST_INSTALLER_RESULT", "-3", "Error Code = -3, 101245"},
        {"TEST_INSTALLER_RESULT", "00", "Error Code = 0, 101245"},
        {"TEST_INSTALLER_RESULT", "none", "Error Code = 0, 101245"},
        {"TEST_INSTALLER_NO_LOG", "1", "Error Code = 0, 101245"},
    };
    for (const Case& c : cases) {
        write_settings();
        RunOptions saved = options;
        options.env[c.name] = c.value;
        RunResult r = install();
        options = saved;
        EXPECT_EQ(99, r.exit_code) << c.value;
        EXPECT_EQ(std::string("QIRU09216-E An error occurred during I/O of a file that installzova "
                              "uses. ") +
                      c.shown + "\n",
                  lines_of(r.out).back() + "\n");
        EXPECT_TRUE(box.exists("work/setup.iss")) << c.value;
        EXPECT_NE(std::string::npos, box.read("work/installzova.log").find(c.shown));
    }
}

TEST_F(InstallRun, StaleSuccessOfAnEarlierRunIsNotThisRunsResult) {
    write_settings();
    box.write("work/setup.log", "[ResponseResult]\r\nResultCode=0\r\n");
    options.env["TEST_INSTALLER_NO_LOG"] = "1";
    RunResult r = install();
    EXPECT_EQ(99, r.exit_code);
    EXPECT_NE(std::string::npos, r.out.find("Error Code = 0, 101245"));
}

TEST_F(InstallRun, ReadOnlyStaleSetupLogStopsTheRunOnWindows) {
    // Windows refuses to delete a read-only file; POSIX asks the folder only.
    write_settings();
    box.write("work/setup.log", "[ResponseResult]\r\nResultCode=0\r\n");
    chmod(box.path("work/setup.log").c_str(), 0444);
    options.without_dac_override = true;
    options.env["TEST_INSTALLER_NO_LOG"] = "1";
    RunResult r = install();
    EXPECT_EQ(99, r.exit_code);
    if (target().windows) {
        EXPECT_EQ(kStart + iz::file_io_error(5, 101130), r.out);
        EXPECT_FALSE(box.exists("received.txt"));
        EXPECT_EQ("[ResponseResult]\r\nResultCode=0\r\n", box.read("work/setup.log"));
    } else {
        EXPECT_NE(std::string::npos, r.out.find("Error Code = 0, 101245"));
        EXPECT_FALSE(box.exists("work/setup.log"));
    }
}

TEST_F(InstallRun, SetupFolderOnlyFromTheProgramsPlaceInTheMedia) {
    // Where a blind cut of the program's place would lead, any user could
    // have left a Setup.exe.
    box.copy("media/Setup.exe", "install/Setup.exe");
    const std::string name = target().windows ? "installzova.exe" : "installzova";
    struct Case {
        std::string program;
        bool started;
    } cases[] = {
        {"installzova-1.0/" + name, false},
        {"media/zovtools/" + (target().windows ? std::string("INSTALLZOVA.EXE") : name),
         target().windows},
    };
    write_settings();
    for (const Case& c : cases) {
        box.remove("received.txt");
        box.copy("media/ZOVTools/" + name, c.program);
        RunResult r = run(box.path(c.program), {"-f", box.at("install.ini")}, options);
        EXPECT_EQ(c.started ? 0 : 99, r.exit_code) << c.program << "\n" << r.out;
        EXPECT_EQ(c.started, box.exists("received.txt")) << c.program;
        if (!c.started) {
            EXPECT_EQ(std::string(kStart) + "QIRU09195-W The setup.exe file does not exist.\n",
                      r.out);
            EXPECT_NE(std::string::npos,
                      box.read("work/installzova.log").find("00101155 CreateProcess() = 0\r\n"));
        }
    }
}

TEST_F(InstallRun, MissingSetupExeIsReported) {
    write_settings();
    box.remove("media/Setup.exe");
    RunResult r = install();
    EXPECT_EQ(99, r.exit_code);
    EXPECT_EQ(std::string(kStart) + "QIRU09195-W The setup.exe file does not exist.\n", r.out);
    EXPECT_NE(std::string::npos, box.read("work/installzova.log")
                                     .find("00101155 CreateProcess(" + setup_path() + ") = 0\r\n"));
}

TEST_F(InstallRun, SetupFolderFromTheSettings) {
    box.copy("media/Setup.exe", "other media/Setup.exe");
    write_settings("installfile_location=" + box.at("other media") + "\r\n");
    RunResult r = install();
    EXPECT_EQ(0, r.exit_code) << r.out;
    std::string expected_path =
        box.at("other media") + (target().windows ? "\\" : "/") + "Setup.exe";
    EXPECT_NE(std::string::npos, received().find(expected_path));
}

TEST_F(InstallRun, InstallerExitCodeDecidesNothing) {
    write_settings();
    options.env["TEST_INSTALLER_EXIT"] = "3";
    RunResult r = install();
    EXPECT_EQ(0, r.exit_code) << r.out;
    EXPECT_EQ((std::vector<std::string>{"installzova-result.json", "installzova.log"}),
              box.list("work"));
    EXPECT_NE(std::string::npos,
              box.read("work/installzova.log").find("00101177 GetExitCodeProcess(3) = 1\r\n"));
}

TEST_F(InstallRun, EarlierRunsCompletionMarkerDoesNotCount) {
    write_settings();
    box.write("work/installzova.log",
              "INFO  12-8-2026 05:14:06 QIRU09180-I ZOVA installation will now start.\r\n"
              "INFO  12-8-2026 05:14:09 QIRU09181-I ZOVA installation completed.\r\n");
    options.env["TEST_INSTALLER_COMPLETE"] = "0";
    RunResult r = install();
    EXPECT_EQ(0, r.exit_code) << r.out;
    EXPECT_EQ(
        std::string(kStart) + "QIRU09230-I Installing ZOVA (All) into " + box.at("zova") + ".\n",
        r.out);
    EXPECT_TRUE(box.exists("work/setup.iss"));
    EXPECT_TRUE(box.exists("work/setoptions.bat"));
}

TEST_F(InstallRun, LongAndUnprefixedInstallerLinesAreEchoedWhole) {
    write_settings();
    std::string long_text = "QIRU09240-I " + std::string(3000, 'x') + " end";
    box.write("raw.txt",
              "INFO  12-8-2026 05:14:07 " + long_text +
                  "\r\nsecond line of a message\r\n"
                  "INFO  12-8-2026 05:14:07 QIRU09179-E Data for maintenance: hidden\r\n");
    options.env["TEST_INSTALLER_RAW"] = box.at("raw.txt");
    RunResult r = install();
    EXPECT_EQ(0, r.exit_code);
    EXPECT_NE(std::string::npos, r.out.find("\n" + long_text + "\nsecond line of a message\n"));
    EXPECT_EQ(std::string::npos, r.out.find("hidden"));
    EXPECT_EQ(std::string::npos, r.out.find("QIRU09179"));
}

TEST_F(InstallRun, OptionsOnlyModeStartsNoInstaller) {
    write_settings();
    RunResult r = install({"-t"});
    EXPECT_EQ(0, r.exit_code);
    EXPECT_EQ("", r.out);
    EXPECT_EQ((std::vector<std::string>{"installzova-result.json", "setoptions.bat"}),
              box.list("work"));
    EXPECT_FALSE(box.exists("received.txt"));
}

TEST_F(InstallRun, ReadOnlyOrAnotherUsersResponseFileIsRefused) {
    // Wine gives a file of another Unix user an owner that is not the
    // process's user, so the owner rule shows there too.
    struct Case {
        mode_t mode;
        bool nobodys;
        const char* error;
    } cases[] = {
        {0444, false, target().windows ? "5" : "13"},
        {0666, true, target().windows ? "1307" : "1"},
    };
    write_settings();
    options.without_dac_override = true;  // natively; the Wine server runs so in CI
    for (const Case& c : cases) {
        box.write("work/setup.iss", "left by an earlier run\r\n");
        chmod(box.path("work/setup.iss").c_str(), c.mode);
        EXPECT_EQ(0, chown(box.path("work/setup.iss").c_str(),
                           c.nobodys ? getpwnam("nobody")->pw_uid : 0, -1));
        RunResult r = install();
        EXPECT_EQ(99, r.exit_code);
        EXPECT_EQ(std::string("QIRU09216-E An error occurred during I/O of a file that "
                              "installzova uses. Error Code = ") +
                      c.error + ", 100659\n",
                  r.out);
        EXPECT_EQ("left by an earlier run\r\n", box.read("work/setup.iss"));
        EXPECT_FALSE(box.exists("work/installzova.log"));
        EXPECT_FALSE(box.exists("received.txt"));
        box.remove("work/setup.iss");
    }
}

// Another user who may rename or delete in the work folder, or in a folder
// above it, could swap a work file for one of theirs. Under Wine the owner
// of another Unix user's folder is not the process's user, and a folder
// everyone may write gives everyone delete rights.
TEST_F(InstallRun, WorkFolderOthersMayChangeIsRefusedBeforeAnythingIsWritten) {
    struct Case {
        const char* folder;  // the folder changed: the work folder or the one above
        mode_t mode;
        bool nobodys;
        const char* error;
    } cases[] = {
        {"work", 0777, false, target().windows ? "5" : "1"},
        {"work", 0755, true, target().windows ? "1307" : "1"},
        {"", 0777, false, target().windows ? "5" : "1"},
    };
    write_settings();
    for (const Case& c : cases) {
        chmod(box.path(c.folder).c_str(), c.mode);
        EXPECT_EQ(
            0, chown(box.path(c.folder).c_str(), c.nobodys ? getpwnam("nobody")->pw_uid : 0, -1));
        for (const char* mode : {"-c", "-t"}) {
            RunResult r = install({mode});
            EXPECT_EQ(99, r.exit_code) << c.folder << " " << mode;
            EXPECT_EQ(std::string("QIRU09216-E An error occurred during I/O of a file that "
                                  "installzova uses. Error Code = ") +
                          c.error + ", 100560\n",
                      r.out)
                << c.folder << " " << mode;
            EXPECT_EQ(std::vector<std::string>{}, box.list("work")) << c.folder << " " << mode;
            EXPECT_FALSE(box.exists("received.txt"));
        }
        chmod(box.path(c.folder).c_str(), 0755);
        EXPECT_EQ(0, chown(box.path(c.folder).c_str(), 0, -1));
    }
}

}  // namespace
}  // namespace e2e
