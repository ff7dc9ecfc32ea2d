// Console control through real signals: Ctrl+C at the terminal, a hang-up,
// and the shut-down that a restarting installer sends.
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <regex>
#include <thread>

#include "e2e/install_fixture.h"

namespace e2e {
namespace {

const char kUserTerminated[] =
    "QIRU09197-W The user terminated installzova.exe, but ZOVA installation will continue.\n";

bool wait_for(const std::function<bool()>& condition, int seconds = 30) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

// True once the program has ended; it is not reaped, so its pid stays its own.
bool has_ended(pid_t pid, int options = WNOHANG) {
    siginfo_t info{};
    while (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT | options) < 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    return info.si_pid == pid;
}

// The texts of the run log's lines, without their time stamps.
std::vector<std::string> log_texts(const std::string& log) {
    std::vector<std::string> texts;
    for (const std::string& line : lines_of(log)) {
        texts.push_back(line.size() > 25 ? line.substr(25) : line);
    }
    return texts;
}

class SignalsNative : public InstallRun {
  protected:
    pid_t start_install(const std::vector<std::string>& extra = {}) {
        std::vector<std::string> args = {"-f", box.at("install.ini")};
        args.insert(args.end(), extra.begin(), extra.end());
        out_file = box.path("console.txt");
        return start(box.program(), args, options, out_file);
    }
    bool installer_running() { return box.exists("received.txt"); }
    // The installer waits at the pause `variable` names until the test lets
    // it go on, however slow the machine.
    void hold_installer(const char* variable) { options.env[variable] = "file:" + box.path("go"); }
    void release_installer() { box.write("go", ""); }
    bool logged(const char* text) {
        return box.read("work/installzova.log").find(text) != std::string::npos;
    }
    std::string out_file;
};

TEST_F(SignalsNative, CtrlCLeavesTheInstallerRunning) {
    write_settings();
    hold_installer("TEST_INSTALLER_DELAY_MS");
    pid_t pid = start_install();
    ASSERT_TRUE(wait_for([&] { return logged("QIRU09230-I"); }));
    kill(-pid, SIGINT);  // the terminal's foreground group: installzova alone
    RunResult r = finish(pid, out_file);
    EXPECT_EQ(SIGINT, r.signal);
    // What the installer logged before the event is shown, then the message.
    EXPECT_EQ(
        "QIRU09180-I ZOVA installation will now start.\nQIRU09230-I Installing ZOVA (All) "
        "into " +
            box.at("zova") + ".\n" + kUserTerminated,
        r.out);
    EXPECT_FALSE(box.exists("work/setup.log")) << "the installer was still running";
    // The installation goes on without the program and completes.
    release_installer();
    EXPECT_TRUE(wait_for([&] { return box.exists("work/setup.log"); }));
    std::string log = box.read("work/installzova.log");
    EXPECT_NE(std::string::npos, log.find("00101272 dwCtrlType=0.\r\n"));
    EXPECT_NE(std::string::npos, log.find(" QIRU09197-W"));
    EXPECT_NE(std::string::npos, log.find("QIRU09181-I ZOVA installation completed.\r\n"));
}

TEST_F(SignalsNative, HangUpIsAbsorbed) {
    write_settings();
    hold_installer("TEST_INSTALLER_DELAY_MS");
    pid_t pid = start_install();
    ASSERT_TRUE(wait_for([&] { return installer_running(); }));
    kill(pid, SIGHUP);
    // The hang-up must reach the program while the installer still runs.
    EXPECT_TRUE(wait_for([&] { return logged("dwCtrlType=2."); }));
    release_installer();
    RunResult r = finish(pid, out_file);
    EXPECT_EQ(0, r.exit_code) << r.out;
    EXPECT_EQ(std::string::npos, r.out.find("QIRU09197-W"));
    EXPECT_EQ((std::vector<std::string>{"installzova-result.json", "installzova.log"}),
              box.list("work"));
}

TEST_F(SignalsNative, ShutDownAfterACompletedRebootInstallationFinishesTheRun) {
    write_settings("restart=y\r\n");
    options.env["TEST_INSTALLER_SIGNAL_PARENT"] = "1";
    hold_installer("TEST_INSTALLER_AFTER_MS");
    pid_t pid = start_install();
    RunResult r = finish(pid, out_file);
    release_installer();
    EXPECT_EQ(SIGTERM, r.signal);
    EXPECT_EQ(
        "QIRU09180-I ZOVA installation will now start.\nQIRU09230-I Installing ZOVA (All) "
        "into " +
            box.at("zova") + ".\nQIRU09181-I ZOVA installation completed.\n",
        r.out);
    EXPECT_EQ((std::vector<std::string>{"installzova-result.json", "installzova.log"}),
              box.list("work"));
}

TEST_F(SignalsNative, ShutDownWithoutRebootRequestIsAnInterruption) {
    write_settings();
    options.env["TEST_INSTALLER_SIGNAL_PARENT"] = "1";
    hold_installer("TEST_INSTALLER_AFTER_MS");
    pid_t pid = start_install();
    RunResult r = finish(pid, out_file);
    release_installer();
    EXPECT_EQ(SIGTERM, r.signal);
    EXPECT_EQ(
        "QIRU09180-I ZOVA installation will now start.\nQIRU09230-I Installing ZOVA (All) "
        "into " +
            box.at("zova") + ".\nQIRU09181-I ZOVA installation completed.\n" + kUserTerminated,
        r.out);
    EXPECT_TRUE(box.exists("work/setup.iss"));
    EXPECT_NE(std::string::npos, box.read("work/installzova.log").find("dwCtrlType=6.\r\n"));
}

TEST_F(SignalsNative, RunLogLinesNeverTearWhileBothProgramsAppend) {
    write_settings();
    options.env["TEST_INSTALLER_REPEAT"] = "20000";
    pid_t pid = start_install();
    ASSERT_TRUE(wait_for([&] { return installer_running(); }));
    int sent = 0;
    while (!box.exists("work/setup.log") && sent < 2000) {
        kill(pid, SIGHUP);  // each is traced into the run log
        ++sent;
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    RunResult r = finish(pid, out_file);
    EXPECT_EQ(0, r.exit_code);
    std::string log = box.read("work/installzova.log");
    std::regex shape("INFO [ 0-9-]{10} [0-9]{2}:[0-9]{2}:[0-9]{2} QIRU09[0-9]{3}-[IWE] [^\\r\\n]*");
    size_t start = 0;
    int ours = 0;
    int theirs = 0;
    while (start < log.size()) {
        size_t end = log.find("\r\n", start);
        ASSERT_NE(std::string::npos, end) << "the log ends inside a line";
        std::string line = log.substr(start, end - start);
        ASSERT_TRUE(std::regex_match(line, shape)) << "torn line: " << line;
        ours += line.find("dwCtrlType=2.") != std::string::npos;
        theirs += line.find("QIRU09231-I Copying file") != std::string::npos;
        start = end + 2;
    }
    EXPECT_EQ(20000, theirs);
    EXPECT_GT(ours, 0);
}

TEST_F(SignalsNative, HangUpsFromTheInstallersEndToTheExitLeaveEachOf200RunsItsExitCode) {
    write_settings();
    for (int run = 1; run <= 200; ++run) {
        pid_t pid = start_install();
        std::atomic<bool> ended{false};
        std::thread hang_ups([&] {
            bool installer_ended = false;
            while (!ended.load()) {
                installer_ended = installer_ended || box.exists("work/setup.log");
                if (installer_ended) {
                    kill(pid, SIGHUP);
                }
                std::this_thread::sleep_for(std::chrono::microseconds(50));
            }
        });
        has_ended(pid, 0);
        ended.store(true);
        hang_ups.join();
        RunResult r = finish(pid, out_file);
        ASSERT_EQ(0, r.exit_code) << "run " << run << " of 200: " << r.err;
        ASSERT_EQ("", r.err) << "run " << run << " of 200";
    }
}

// The installer shares the program's standard output and writes to it too:
// it must not be ended by the reader's going away either.
TEST_F(SignalsNative, ClosedStandardOutputChangesNeitherTheRunNorTheRunLog) {
    write_settings();
    options.env["TEST_INSTALLER_LINES"] = "QIRU09231-I Copying.";
    options.env["TEST_INSTALLER_CONSOLE"] = "Copying files...";
    ASSERT_EQ(0, install().exit_code);
    std::vector<std::string> expected = log_texts(box.read("work/installzova.log"));
    box.remove("work/installzova.log");

    options.stdout_reader_gone = true;
    EXPECT_EQ(0, run(box.program(), {"-h"}, options).exit_code);
    EXPECT_EQ(0, install().exit_code);
    EXPECT_EQ(expected, log_texts(box.read("work/installzova.log")));
    EXPECT_EQ((std::vector<std::string>{"installzova-result.json", "installzova.log"}),
              box.list("work"));
}

TEST_F(SignalsNative, InterruptAndChildSignalsIgnoredAtStartStayIgnored) {
    write_settings();
    options.ignored_signals = "INT CHLD";
    hold_installer("TEST_INSTALLER_DELAY_MS");
    pid_t pid = start_install();
    ASSERT_TRUE(wait_for([&] { return installer_running(); }));
    kill(-pid, SIGINT);
    // A taken SIGINT would be pending by now and handled right after this
    // hang-up; an ignored one was dropped when it was sent.
    kill(pid, SIGHUP);
    EXPECT_TRUE(wait_for([&] { return logged("dwCtrlType=2."); }));
    release_installer();
    RunResult r = finish(pid, out_file);
    EXPECT_EQ(0, r.exit_code) << r.out;
    EXPECT_EQ(std::string::npos, r.out.find("QIRU09197-W"));
    EXPECT_EQ(std::string::npos, box.read("work/installzova.log").find("dwCtrlType=0."));
    EXPECT_EQ((std::vector<std::string>{"installzova-result.json", "installzova.log"}),
              box.list("work"));
}

TEST_F(SignalsNative, InstallerThatReadsTheTerminalOrStopsCannotHangTheRun) {
    write_settings();
    int terminal = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    ASSERT_EQ(0, grantpt(terminal));
    ASSERT_EQ(0, unlockpt(terminal));
    options.terminal = ptsname(terminal);
    options.env["TEST_INSTALLER_READ_STDIN"] = "1";
    options.env["TEST_INSTALLER_KILL"] = std::to_string(SIGSTOP);
    pid_t pid = start_install();
    // A bound on the wait, so that a hung run fails instead of hanging the suite.
    bool ended = wait_for([&] { return has_ended(pid); }, 60);
    if (!ended) {
        kill(pid, SIGKILL);
    }
    RunResult r = finish(pid, out_file);
    close(terminal);
    ASSERT_TRUE(ended) << "the program still waits for its installer";
    EXPECT_EQ(0, r.exit_code) << r.out;
    EXPECT_EQ((std::vector<std::string>{"installzova-result.json", "installzova.log"}),
              box.list("work"));
}

// Standard output a pipe that nobody reads: the program blocks writing the
// installer's lines, and SIGTERM or the terminal's SIGINT must still end it
// (after the handler's pause; a minute is only the bound of a hang).
TEST_F(SignalsNative, TerminatingSignalsEndAProgramWhoseOutputNobodyReads) {
    std::string lines;
    for (int i = 0; i < 76000; ++i) {
        lines += "INFO  12-8-2026 05:14:07 QIRU09231-I Copying file " + std::to_string(i) + ".\r\n";
    }
    box.write("lines.txt", lines);
    write_settings();
    options.env["TEST_INSTALLER_RAW"] = box.at("lines.txt");
    hold_installer("TEST_INSTALLER_DELAY_MS");
    for (int signal_number : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal_number);
        int pipe_ends[2];
        ASSERT_EQ(0, pipe2(pipe_ends, O_CLOEXEC));
        options.stdout_fd = pipe_ends[1];
        pid_t pid = start_install();
        close(pipe_ends[1]);
        EXPECT_TRUE(wait_for([&] { return logged("Copying file 75999."); }, 120));
        kill(signal_number == SIGINT ? -pid : pid, signal_number);
        bool ended = wait_for([&] { return has_ended(pid); }, 60);
        if (!ended) {
            kill(pid, SIGKILL);
        }
        EXPECT_TRUE(ended);
        RunResult r = finish(pid, out_file);
        EXPECT_EQ(signal_number, r.signal);
        close(pipe_ends[0]);
        // Its installer goes on to its end, and then the machine is free.
        release_installer();
        EXPECT_TRUE(wait_for([&] { return box.exists("work/setup.log"); }, 120));
        // The next run must not find this run's lines: its wait for the last
        // line would end at once and signal a program still starting.
        for (const char* name : {"go", "work/setup.log", "work/installzova.log"}) {
            box.remove(name);
        }
    }
}

}  // namespace
}  // namespace e2e
