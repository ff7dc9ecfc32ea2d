// A media folder with the test installer as Setup.exe and the program below
// it, a work folder, and a settings file written per test.
#pragma once

#include <gtest/gtest.h>

#include "e2e/harness.h"

namespace e2e {

class InstallRun : public ::testing::Test {
  protected:
    void SetUp() override {
        box.make_media();
        box.make_folder("work");
        options.env["TEST_INSTALLER_RECORD"] = box.at("received.txt");
        options.env["INSTALLZOVA_REGISTRY_ROOT"] = box.path("registry");
    }

    // A settings file with a work folder and an installation folder of the
    // sandbox; `installation` and `environment` add lines to their sections.
    void write_settings(const std::string& installation = "",
                        const std::string& environment = "load_balance=on\r\n") {
        box.write("install.ini",
                  "[ZOVA]\r\nfileversion=0201\r\nzovaversion=08-10-00\r\n"
                  "[INSTALLATION_SETTINGS]\r\nworkdir=" +
                      box.at("work") + "\r\ninstalldir=" + box.at("zova") + "\r\n" + installation +
                      "[ENVIRONMENT_SETTINGS]\r\n" + environment);
    }

    // Leaves a key of the written settings file out, so its default applies.
    void drop_setting(const std::string& key) {
        std::string settings = box.read("install.ini");
        size_t at = settings.find("\n" + key + "=");
        ASSERT_NE(std::string::npos, at) << key;
        settings.insert(at + 1, "ignored_");
        box.write("install.ini", settings);
    }

    RunResult install(const std::vector<std::string>& extra = {}) {
        std::vector<std::string> args = {"-f", box.at("install.ini")};
        args.insert(args.end(), extra.begin(), extra.end());
        return run(box.program(), args, options);
    }

    // The command line the test installer received, as the platform gave it:
    // the raw line on Windows, the arguments one a line on POSIX.
    std::string received() const {
        std::string text = box.read("received.txt");
        if (target().windows) {
            return lines_of(text).at(0);
        }
        return text;
    }

    // The installer's path and the work files as the program names them.
    std::string setup_path() const {
        return target().windows ? box.at("media") + "\\\\Setup.exe"
                                : box.path("media") + "//Setup.exe";
    }
    std::string work_file(const std::string& name) const {
        return box.at("work") + (target().windows ? "\\" : "/") + name;
    }

    // The command line expected for a mode tail such as "-silent ".
    std::string expected_command_line(const std::string& tail) const {
        if (target().windows) {
            return "raw=\"" + setup_path() + "\" -s -f1\"" + work_file("setup.iss") + "\" -f2\"" +
                   work_file("setup.log") + "\" /clone_wait " + tail;
        }
        std::string text = "arg=" + setup_path() + "\narg=-s\narg=-f1" + work_file("setup.iss") +
                           "\narg=-f2" + work_file("setup.log") + "\narg=/clone_wait\n";
        for (const std::string& word : lines_of(tail_words(tail))) {
            text += "arg=" + word + "\n";
        }
        return text;
    }

    static std::string tail_words(const std::string& tail) {
        std::string words = tail;
        for (char& c : words) {
            c = c == ' ' ? '\n' : c;
        }
        return words;
    }

    Sandbox box;
    RunOptions options;
};

// The value of a key of the response file, without its line end.
inline std::string response_value(const std::string& response, const std::string& key) {
    for (const std::string& line : lines_of(response)) {
        if (line.compare(0, key.size() + 1, key + "=") == 0) {
            return line.substr(key.size() + 1, line.size() - key.size() - 2);  // less the CR
        }
    }
    return "<absent>";
}

}  // namespace e2e
