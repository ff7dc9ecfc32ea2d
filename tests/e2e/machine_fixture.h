// Runs that hold the machine: a first run held at its installer, second
// settings files with work folders of their own, and the exit codes of a busy
// machine and of one waiting for a restart.
#pragma once

#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "e2e/install_fixture.h"

namespace e2e {

const char kFirstLine[] = "QIRU09234-I First installer started.";

// Waits (two minutes at most) until the file holds `text`. The test goes on
// at the moment the program reaches that point; no time is asserted.
inline bool wait_for_text(const std::string& path, const std::string& text) {
    for (int i = 0; i < 1200; ++i) {
        if (file_bytes(path).find(text) != std::string::npos) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

inline bool wait_for_file(const std::string& path) {
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
inline int busy_code() {
    return target().windows ? 1618 & 0xFF : 75;
}

inline int restart_code() {
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

    // While another installation (`name`, as the messages show it) holds the
    // machine: a run that may not wait is refused, holds the machine and
    // starts nothing; one that may wait installs once `release` frees it.
    void expect_refused_then_waited(const std::string& name, const std::function<void()>& release) {
        RunResult busy =
            run(box.program(), {"-f", second_settings("busy", "wait_seconds=0")}, options);
        EXPECT_EQ(busy_code(), busy.exit_code) << busy.out;
        EXPECT_EQ("QIRU09303-E Another installation is still in progress (" + name +
                      ") after 0 seconds. Nothing was started. Retry later.\n",
                  busy.out);
        EXPECT_EQ(std::vector<std::string>{"installzova-result.json"}, box.list("busy"));
        pid_t pid = start(box.program(), {"-f", box.at("install.ini")}, options, box.path("out"));
        std::string waits = "QIRU09301-I Another installation is in progress (" + name +
                            "). installzova waits for it to end, for at most 600 seconds.";
        EXPECT_TRUE(wait_for_text(box.path("out"), waits));
        release();
        RunResult r = finish(pid, box.path("out"));
        EXPECT_EQ(0, r.exit_code) << r.out;
    }

    std::string usual_output(const std::string& lines) const {
        return "QIRU09180-I ZOVA installation will now start.\nQIRU09230-I Installing ZOVA (All) "
               "into " +
               box.at("zova") + ".\n" + lines + "QIRU09181-I ZOVA installation completed.\n";
    }
};

}  // namespace e2e
