// One installation at a time, a machine waiting for a restart, and a silent
// installer: runs that overlap, a wait that runs out, the restart sources
// with each policy, and the notice about an installer that writes nothing.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <nlohmann/json.hpp>
#include <thread>

#include "e2e/install_fixture.h"
#include "support/wine_loader.h"

namespace e2e {
namespace {

const char kFirstLine[] = "QIRU09234-I First installer started.";

// Waits (two minutes at most) until the file holds `text`. The test goes on
// at the moment the program reaches that point; no time is asserted.
bool wait_for_text(const std::string& path, const std::string& text) {
    for (int i = 0; i < 1200; ++i) {
        if (file_bytes(path).find(text) != std::string::npos) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

bool wait_for_file(const std::string& path) {
    for (int i = 0; i < 1200; ++i) {
        if (access(path.c_str(), F_OK) == 0) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

// Wine hands a Linux parent the low 8 bits of a Windows exit code (1618 and
// 350 whole are the unit tests' concern).
int busy_code() {
    return target().windows ? 1618 & 0xFF : 75;
}

int restart_code() {
    return target().windows ? 350 & 0xFF : 69;
}

class Machine : public InstallRun {
  protected:
    // Starts a run whose installer logs kFirstLine and then waits for the
    // file "go"; returns once that line is in the run log.
    pid_t start_holder() {
        write_settings();
        RunOptions first = options;
        first.env["TEST_INSTALLER_LINES"] = kFirstLine;
        first.env["TEST_INSTALLER_DELAY_MS"] = "file:" + box.at("go");
        pid_t pid = start(box.program(), {"-f", box.at("install.ini")}, first, box.path("out1"));
        EXPECT_TRUE(wait_for_text(box.path("work/installzova.log"), kFirstLine));
        return pid;
    }

    // A second settings file with its own work folder and [INSTALLZOVA] lines.
    std::string second_settings(const std::string& name, const std::string& program) {
        box.make_folder(name);
        box.write(name + ".ini",
                  "[ZOVA]\r\nfileversion=0201\r\nzovaversion=08-10-00\r\n"
                  "[INSTALLATION_SETTINGS]\r\nworkdir=" +
                      box.at(name) + "\r\ninstalldir=" + box.at("zova") +
                      "\r\n[ENVIRONMENT_SETTINGS]\r\nload_balance=on\r\n"
                      "[INSTALLZOVA]\r\n" +
                      program);
        return box.at(name + ".ini");
    }

    std::string usual_output(const std::string& lines) const {
        return "QIRU09180-I ZOVA installation will now start.\nQIRU09230-I Installing ZOVA (All) "
               "into " +
               box.at("zova") + ".\n" + lines + "QIRU09181-I ZOVA installation completed.\n";
    }
};

TEST_F(Machine, SecondRunWaitsForTheFirstAndThenRuns) {
    pid_t first = start_holder();
    RunOptions second = options;
    second.env["TEST_INSTALLER_LINES"] = "QIRU09235-I Second installer.";
    pid_t pid = start(box.program(), {"-f", box.at("install.ini")}, second, box.path("out2"));
    ASSERT_TRUE(wait_for_text(box.path("out2"), "QIRU09301-I"));
    box.write("go", "");
    RunResult r1 = finish(first, box.path("out1"));
    RunResult r2 = finish(pid, box.path("out2"));
    EXPECT_EQ(0, r1.exit_code) << r1.out;
    EXPECT_EQ(0, r2.exit_code) << r2.out;
    EXPECT_EQ(usual_output(std::string(kFirstLine) + "\n"), r1.out);
    std::vector<std::string> lines = lines_of(r2.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(0u, lines[0].find("QIRU09301-I Another installation is in progress (installzova"))
        << lines[0];
    EXPECT_EQ(usual_output("QIRU09235-I Second installer.\n"),
              r2.out.substr(r2.out.find("QIRU09180-I")));
    // The second installer started only after the first had completed.
    std::string log = box.read("work/installzova.log");
    size_t completed = log.find("QIRU09181-I");
    EXPECT_LT(completed, log.find("QIRU09235-I"));
    EXPECT_LT(completed, log.find("QIRU09302-I installzova has waited"));
}

TEST_F(Machine, BusyAfterTheLimitStartsNothingAndLeavesNothing) {
    pid_t first = start_holder();
    for (const char* limit : {"0", "1"}) {
        SCOPED_TRACE(limit);
        std::string name = std::string("work") + limit;
        RunOptions second = options;
        second.env["TEST_INSTALLER_RECORD"] = box.at(name + "-received.txt");
        RunResult r =
            run(box.program(), {"-f", second_settings(name, std::string("wait_seconds=") + limit)},
                second);
        EXPECT_EQ(busy_code(), r.exit_code) << r.out;
        EXPECT_EQ(limit[0] != '0', r.out.find("QIRU09301-I") != std::string::npos) << r.out;
        EXPECT_NE(std::string::npos,
                  r.out.find("QIRU09303-E Another installation is still in progress (installzova"))
            << r.out;
        EXPECT_TRUE(box.list(name).empty());
        EXPECT_FALSE(box.exists(name + "-received.txt"));
    }
    box.write("go", "");
    EXPECT_EQ(0, finish(first, box.path("out1")).exit_code);
}

TEST_F(Machine, SilentInstallerDrawsNoticesAndRunsToItsEnd) {
    write_settings("", "load_balance=on\r\n[INSTALLZOVA]\r\nsilence_notice_seconds=1\r\n");
    options.env["TEST_INSTALLER_LINES"] = kFirstLine;
    options.env["TEST_INSTALLER_DELAY_MS"] = "file:" + box.at("go");
    pid_t pid = start(box.program(), {"-f", box.at("install.ini")}, options, box.path("out"));
    ASSERT_TRUE(wait_for_text(box.path("out"), "QIRU09306-W"));
    box.write("go", "");
    RunResult r = finish(pid, box.path("out"));
    EXPECT_EQ(0, r.exit_code) << r.out;
    std::string notice = "It is still running and installzova goes on waiting for it. Last line: " +
                         std::string(kFirstLine) + "\n";
    EXPECT_NE(std::string::npos, r.out.find(notice)) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("QIRU09181-I ZOVA installation completed.\n"));
    // In the run log too, and never shown again as one of the installer's lines.
    std::string log = box.read("work/installzova.log");
    EXPECT_NE(std::string::npos, log.find("QIRU09306-W The installer (process id "));
    size_t notices = 0;
    for (size_t at = 0; (at = r.out.find("QIRU09306-W", at)) != std::string::npos; ++at) {
        ++notices;
    }
    size_t logged = 0;
    for (size_t at = 0; (at = log.find("QIRU09306-W", at)) != std::string::npos; ++at) {
        ++logged;
    }
    EXPECT_EQ(logged, notices);
}

TEST_F(Machine, BadProgramSettingsWarnAndKeepTheirDefaults) {
    write_settings("",
                   "load_balance=on\r\n[INSTALLZOVA]\r\nwait_seconds=86401\r\n"
                   "pending_reboot=later\r\nsilence_notice_seconds=-1\r\n");
    RunResult r = install();
    EXPECT_EQ(0, r.exit_code) << r.out;
    const char* warnings[] = {"(wait_seconds=86401)", "(pending_reboot=later)",
                              "(silence_notice_seconds=-1)"};
    for (const char* value : warnings) {
        EXPECT_NE(std::string::npos,
                  r.out.find("QIRU09307-W A definition in the INSTALLZOVA section of the "
                             "installation information settings file is invalid. The default "
                             "is used. " +
                             std::string(value) + "\n"))
            << r.out;
    }
    // A warning of the settings: the installer is told so.
    EXPECT_NE(std::string::npos, received().find("-checkerror")) << received();
    std::string log = box.read("work/installzova.log");
    EXPECT_NE(std::string::npos, log.find("QIRU09179-I Data for maintenance: 00100635 "
                                          "silence_notice_seconds=-1\r\n"));
}

// The restart sources of the registry, staged in the registry of the build:
// the Wine prefix's (shared by every test of the build, hence the suffix,
// which makes the tests of this suite run one at a time) or the folder tree
// of the native build.
class MachineRegistry : public Machine {
  protected:
    struct Source {
        const char* key;
        const char* name;  // null: the key alone
        const char* data;
    };

    void stage(const Source& s, bool on) {
        if (target().windows) {
            // Windows keeps these in the machine's own view, which the
            // 32-bit program reads past the redirection too.
            if (on) {
                wine_reg_add(std::string("HKLM\\") + s.key, s.name ? s.name : "staged", s.data,
                             RegistryView::Machine);
            } else if (s.name != nullptr) {
                wine_reg_delete_value(std::string("HKLM\\") + s.key, s.name, RegistryView::Machine);
            } else {
                wine_reg_delete(std::string("HKLM\\") + s.key, RegistryView::Machine);
            }
            return;
        }
        std::string folder = "registry/" + slashes(s.key);
        if (on) {
            std::string made;
            for (const std::string& part : lines_of(newlines(slashes(s.key)))) {
                made += made.empty() ? part : "/" + part;
                box.make_folder("registry/" + made);
            }
            if (s.name != nullptr) {
                box.write(folder + "/" + s.name, s.data);
            }
        } else if (s.name != nullptr) {
            box.remove(folder + "/" + s.name);
        } else {
            box.remove(folder);
        }
    }

    static std::string slashes(std::string text) {
        for (char& c : text) {
            c = c == '\\' ? '/' : c;
        }
        return text;
    }
    static std::string newlines(std::string text) {
        for (char& c : text) {
            c = c == '/' ? '\n' : c;
        }
        return text;
    }
};

TEST_F(MachineRegistry, EachRestartSourceWarnsOrStopsOrIsIgnored) {
    const Source sources[] = {
        {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Component Based Servicing\\RebootPending",
         nullptr, "1"},
        {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate\\Auto Update\\RebootRequired",
         nullptr, "1"},
        {"SYSTEM\\CurrentControlSet\\Control\\Session Manager", "PendingFileRenameOperations",
         "\\??\\C:\\old.dll"},
        {"SOFTWARE\\Microsoft\\Updates", "UpdateExeVolatile", "1"},
    };
    write_settings();
    int round = 0;
    for (const Source& s : sources) {
        std::string path =
            std::string("HKLM\\") + s.key + (s.name ? std::string("\\") + s.name : "");
        SCOPED_TRACE(path);
        stage(s, true);
        RunResult warned = install();
        std::string stop = "stop" + std::to_string(round);
        RunResult stopped =
            run(box.program(), {"-f", second_settings(stop, "pending_reboot=stop")}, options);
        std::string ignore = "ignore" + std::to_string(round++);
        RunResult ignored =
            run(box.program(), {"-f", second_settings(ignore, "pending_reboot=IGNORE")}, options);
        stage(s, false);
        EXPECT_EQ(0, warned.exit_code) << warned.out;
        EXPECT_EQ(
            "QIRU09180-I ZOVA installation will now start.\nQIRU09304-W The machine is "
            "waiting for a restart (" +
                path + "). The installation goes on.\n",
            warned.out.substr(0, warned.out.find("QIRU09230-I")));
        EXPECT_NE(std::string::npos, box.read("work/installzova.log")
                                         .find("QIRU09304-W The machine is waiting for a "
                                               "restart (" +
                                               path + ")"));
        EXPECT_EQ(restart_code(), stopped.exit_code) << stopped.out;
        EXPECT_EQ("QIRU09305-E The machine is waiting for a restart (" + path +
                      "). Nothing was started. Restart the machine and retry.\n",
                  stopped.out);
        // Only this run's record: it held the machine and started nothing.
        EXPECT_EQ(std::vector<std::string>{"installzova-result.json"}, box.list(stop));
        EXPECT_EQ(0, ignored.exit_code);
        EXPECT_EQ(std::string::npos, ignored.out.find("QIRU0930")) << ignored.out;
    }
}

// Natively, where each test has /run and /var/lib/dpkg of its own
// (private_machine.sh): the lock's own place, the dpkg lock, the restart
// marker, and a run killed while its installer goes on.
class MachineNative : public Machine {
  protected:
    void SetUp() override {
        Machine::SetUp();
        options.unset.push_back("INSTALLZOVA_LOCK_FOLDER");
    }
};

TEST_F(MachineNative, LockLivesInRunForRootAloneAndOutlivesAKilledRun) {
    pid_t first = start_holder();
    struct stat info;
    ASSERT_EQ(0, lstat("/run/installzova.lock", &info));
    EXPECT_EQ(0600u, info.st_mode & 07777);
    EXPECT_EQ(0u, info.st_uid);
    kill(first, SIGKILL);
    RunResult killed = finish(first, box.path("out1"));
    EXPECT_EQ(SIGKILL, killed.signal);
    // Its installer still holds the machine.
    RunResult busy = run(box.program(), {"-f", second_settings("busy", "wait_seconds=0")}, options);
    EXPECT_EQ(75, busy.exit_code) << busy.out;
    EXPECT_NE(std::string::npos, busy.out.find("(installzova PID " + std::to_string(first) + ")"))
        << busy.out;
    box.write("go", "");
    // Once it has ended the machine is free: this run waits, if at all, only
    // for that installer's last moments.
    RunResult after = run(box.program(), {"-f", second_settings("after", "")}, options);
    EXPECT_EQ(0, after.exit_code) << after.out;
}

TEST_F(MachineNative, DpkgBusyIsWaitedForThenRunOutAt75) {
    write_settings();
    int fd = open("/var/lib/dpkg/lock-frontend", O_RDWR | O_CREAT, 0640);
    ASSERT_GE(fd, 0);
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    ASSERT_EQ(0, fcntl(fd, F_SETLK, &lock));
    RunResult busy = run(box.program(), {"-f", second_settings("busy", "wait_seconds=0")}, options);
    EXPECT_EQ(75, busy.exit_code) << busy.out;
    EXPECT_EQ(
        "QIRU09303-E Another installation is still in progress (dpkg) after 0 seconds. "
        "Nothing was started. Retry later.\n",
        busy.out);
    // Only this run's record: it held the machine and started nothing.
    EXPECT_EQ(std::vector<std::string>{"installzova-result.json"}, box.list("busy"));
    pid_t pid = start(box.program(), {"-f", box.at("install.ini")}, options, box.path("out"));
    ASSERT_TRUE(wait_for_text(box.path("out"),
                              "QIRU09301-I Another installation is in progress "
                              "(dpkg). installzova waits for it to end, for at "
                              "most 600 seconds.\n"));
    close(fd);  // the lock goes with the descriptor
    RunResult r = finish(pid, box.path("out"));
    EXPECT_EQ(0, r.exit_code) << r.out;
    EXPECT_NE(std::string::npos, box.read("work/installzova.log").find("QIRU09302-I"));
}

TEST_F(MachineNative, RebootRequiredFileWarnsStopsOrIsIgnored) {
    write_settings();
    {
        std::ofstream("/run/reboot-required") << "*** System restart required ***\n";
        std::ofstream("/run/reboot-required.pkgs") << "linux-image-amd64\n";
    }
    RunResult warned = install();
    RunResult stopped =
        run(box.program(), {"-f", second_settings("stop", "pending_reboot=stop")}, options);
    RunResult ignored =
        run(box.program(), {"-f", second_settings("ignore", "pending_reboot=ignore")}, options);
    unlink("/run/reboot-required");
    unlink("/run/reboot-required.pkgs");
    EXPECT_EQ(0, warned.exit_code);
    EXPECT_NE(std::string::npos,
              warned.out.find("QIRU09304-W The machine is waiting for a restart "
                              "(/run/reboot-required). The installation goes on.\n"));
    EXPECT_EQ(69, stopped.exit_code);
    EXPECT_EQ(
        "QIRU09305-E The machine is waiting for a restart (/run/reboot-required). Nothing "
        "was started. Restart the machine and retry.\n",
        stopped.out);
    // Only this run's record: it held the machine and started nothing.
    EXPECT_EQ(std::vector<std::string>{"installzova-result.json"}, box.list("stop"));
    EXPECT_EQ(0, ignored.exit_code);
    EXPECT_EQ(std::string::npos, ignored.out.find("QIRU0930"));
    // The record says what was found and which policy was applied.
    nlohmann::json record = nlohmann::json::parse(box.read("stop/installzova-result.json"));
    EXPECT_EQ(69, record["exit_code"]);
    EXPECT_EQ("stop", record["pending_reboot_policy"]);
    EXPECT_EQ(nlohmann::json::array({"/run/reboot-required"}), record["pending_restart_sources"]);
    EXPECT_EQ(0, record["seconds_waited"]);
}

// Under Wine: the Windows Installer's mutex held by a helper program, and
// the lock's own place in the common application data folder.
class MachineWindows : public Machine {};

TEST_F(MachineWindows, WindowsInstallerBusyIsWaitedForThenRunOutAt1618) {
    write_settings();
    const char* helper = std::getenv("IZ_E2E_MSI_BUSY");
    ASSERT_NE(nullptr, helper);
    pid_t holder = start(helper, {box.at("ready"), box.at("free")}, options, box.path("msi.txt"));
    ASSERT_TRUE(wait_for_file(box.path("ready")));
    RunResult busy = run(box.program(), {"-f", second_settings("busy", "wait_seconds=0")}, options);
    EXPECT_EQ(busy_code(), busy.exit_code) << busy.out;
    EXPECT_EQ(
        "QIRU09303-E Another installation is still in progress (Windows Installer) after 0 "
        "seconds. Nothing was started. Retry later.\n",
        busy.out);
    // Only this run's record: it held the machine and started nothing.
    EXPECT_EQ(std::vector<std::string>{"installzova-result.json"}, box.list("busy"));
    pid_t pid = start(box.program(), {"-f", box.at("install.ini")}, options, box.path("out"));
    EXPECT_TRUE(wait_for_text(box.path("out"),
                              "QIRU09301-I Another installation is in progress "
                              "(Windows Installer)."));
    box.write("free", "");
    RunResult r = finish(pid, box.path("out"));
    EXPECT_EQ(0, r.exit_code) << r.out;
    EXPECT_EQ(0, finish(holder, box.path("msi.txt")).exit_code);
}

// Wine's taskkill /F ends the run with TerminateProcess while its installer
// goes on. The suite runs alone, so no other run of the prefix is ended.
TEST_F(MachineWindows, TerminatedRunLeavesTheMachineBusyUntilItsInstallerEnds) {
    pid_t first = start_holder();
    RunResult killed = run(iz_test::wine_prefix() + "/drive_c/windows/system32/taskkill.exe",
                           {"/F", "/IM", "installzova.exe"}, options);
    EXPECT_EQ(0, killed.exit_code) << killed.out << killed.err;
    // Ended before it could show the installer's completion (Wine's taskkill
    // gives exit code 0).
    RunResult ended = finish(first, box.path("out1"));
    EXPECT_EQ(std::string::npos, ended.out.find("QIRU09181-I")) << ended.out;
    RunResult busy = run(box.program(), {"-f", second_settings("busy", "wait_seconds=0")}, options);
    EXPECT_EQ(busy_code(), busy.exit_code) << busy.out;
    box.write("go", "");
    RunResult after = run(box.program(), {"-f", second_settings("after", "")}, options);
    EXPECT_EQ(0, after.exit_code) << after.out;
}

TEST_F(MachineWindows, LockLivesInTheCommonApplicationDataFolder) {
    write_settings();
    options.unset.push_back("INSTALLZOVA_LOCK_FOLDER");
    RunResult r = install();
    EXPECT_EQ(0, r.exit_code) << r.out;
    std::string lock = iz_test::wine_prefix() + "/drive_c/ProgramData/installzova/installzova.lock";
    EXPECT_EQ(0, access(lock.c_str(), F_OK)) << lock;
}

}  // namespace
}  // namespace e2e
