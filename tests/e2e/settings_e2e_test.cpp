// Settings files from disk through to the options command file (-t mode) and
// the messages about bad values.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <random>

#include "e2e/harness.h"
#include "support/test_helpers.h"

namespace e2e {
namespace {

std::string settings_file(const Sandbox& box, const std::string& environment,
                          const std::string& installation = "") {
    return "[ZOVA]\r\nfileversion=0201\r\nzovaversion=08-10-00\r\n"
           "[INSTALLATION_SETTINGS]\r\nworkdir=" +
           box.at("work") + "\r\ninstalldir=" + box.at("zova") + "\r\n" + installation +
           "[ENVIRONMENT_SETTINGS]\r\n" + environment;
}

RunResult options_only(Sandbox& box, const std::string& environment) {
    box.make_folder("work");
    box.write("s.ini", settings_file(box, environment));
    return run(target().program, {"-f", box.at("s.ini"), "-t"});
}

TEST(OptionsOnly, WorkedExampleGivesNineLinesInOrder) {
    Sandbox box;
    RunResult r = options_only(box,
                               "load_balance=on\r\nerror_log_level=3\r\nerror_log_size=500\r\n"
                               "trace_file_number=4\r\npath_health_check=on\r\n"
                               "path_health_check_interval=30\r\nauto_failback=off\r\n"
                               "intermittent_error_monitor=off\r\nlbex_usetimes_limit=100\r\n"
                               "remove_lu=on\r\nremove_lu_force=on\r\n");
    EXPECT_EQ(0, r.exit_code) << r.out;
    EXPECT_EQ("", r.out);
    EXPECT_EQ(
        "zovactl set -lb on -s\r\n"
        "zovactl set -ellv 3 -s\r\n"
        "zovactl set -elfs 500 -s\r\n"
        "zovactl set -systfn 4 -s\r\n"
        "zovactl set -pchk on -intvl 30 -s\r\n"
        "zovactl set -iem off -s\r\n"
        "zovactl set -afb off -s\r\n"
        "zovactl set -exlimit 100 -s\r\n"
        "zovactl set -rmlu on -force -s\r\n",
        box.read("work/setoptions.bat"));
    EXPECT_EQ((std::vector<std::string>{"installzova-result.json", "setoptions.bat"}),
              box.list("work"));
}

TEST(OptionsOnly, AllEighteenKeysGiveTwelveLines) {
    Sandbox box;
    RunResult r = options_only(
        box,
        "load_balance=dlb\r\nload_balance_type=exrnd\r\nerror_log_level=2\r\n"
        "error_log_size=9999999\r\nerror_log_number=16\r\ntrace_level=4\r\n"
        "trace_file_size=65535\r\ntrace_file_number=64\r\npath_health_check=on\r\n"
        "path_health_check_interval=1440\r\nauto_failback=on\r\nauto_failback_interval=1440\r\n"
        "intermittent_error_monitor=on\r\nintermittent_error_monitor_interval=1440\r\n"
        "intermittent_error_monitor_number=99\r\nlbex_usetimes_limit=999999\r\n"
        "remove_lu=off\r\nremove_lu_force=off\r\n");
    EXPECT_EQ(0, r.exit_code) << r.out;
    EXPECT_EQ(
        "zovactl set -lb dlb -lbtype exrnd -s\r\n"
        "zovactl set -ellv 2 -s\r\n"
        "zovactl set -elfs 9999999 -s\r\n"
        "zovactl set -elfn 16 -s\r\n"
        "zovactl set -systflv 4 -s\r\n"
        "zovactl set -systfs 65535 -s\r\n"
        "zovactl set -systfn 64 -s\r\n"
        "zovactl set -pchk on -intvl 1440 -s\r\n"
        "zovactl set -afb on -intvl 1440 -s\r\n"
        "zovactl set -iem on -intvl 1440 -iemnum 99 -s\r\n"
        "zovactl set -exlimit 999999 -s\r\n"
        "zovactl set -rmlu off -s\r\n",
        box.read("work/setoptions.bat"));
}

TEST(OptionsOnly, NoEnvironmentValueLeavesNoFileBehind) {
    Sandbox box;
    box.write("work/setoptions.bat", "zovactl set -lb on -s\r\n");  // an earlier run's
    RunResult r = options_only(box, "");
    EXPECT_EQ(0, r.exit_code);
    EXPECT_FALSE(box.exists("work/setoptions.bat"));
}

TEST(OptionsOnly, OneBadValueWritesNothing) {
    Sandbox box;
    RunResult r = options_only(box, "load_balance=on\r\nerror_log_size=10M\r\n");
    EXPECT_EQ(99, r.exit_code);
    EXPECT_EQ(iz::bad_definition("error_log_size", "10M"), r.out);
    EXPECT_FALSE(box.exists("work/setoptions.bat"));
}

TEST(OptionsOnly, ValuesThatCouldInjectCommandsAreRefused) {
    for (const char* value : {"on&", "a|b", "x>y", "o^n", "%p%", "\"on\"x", "o<n"}) {
        Sandbox box;
        RunResult r = options_only(box, std::string("load_balance=") + value + "\r\n");
        EXPECT_EQ(99, r.exit_code) << value << "\n" << r.out << r.err;
        EXPECT_NE(std::string::npos, r.out.find("QIRU09193-W")) << value;
        EXPECT_FALSE(box.exists("work/setoptions.bat")) << value;
    }
}

TEST(SettingsFile, NameOf260CharactersPassesTheLengthCheck261DoesNot) {
    Sandbox box;
    box.make_folder("work");
    // Make names of exactly 260 and 261 characters as the program sees them.
    std::string base = box.at("") + (target().windows ? "\\" : "/");
    std::string padding_260(260 - base.size() - 4, 'n');
    std::string padding_261(261 - base.size() - 4, 'n');
    for (const std::string& name : {padding_260 + ".ini", padding_261 + ".ini"}) {
        ASSERT_LT(name.size(), 256u) << "the sandbox path is too long for this test";
        box.write(name, settings_file(box, "error_log_level=1\r\n"));
    }
    RunResult fits = run(target().program, {"-f", base + padding_260 + ".ini", "-t"});
    RunResult too_long = run(target().program, {"-f", base + padding_261 + ".ini", "-t"});
    EXPECT_EQ(iz::kMissingFile, too_long.out);
    EXPECT_EQ(99, too_long.exit_code);
    if (target().windows) {
        // The length check passes; the full-path call of Windows then takes
        // no path of 260 characters (its limit counts the terminator).
        EXPECT_EQ(99, fits.exit_code);
        EXPECT_EQ(iz::internal_error(206, 100373), fits.out);
    } else {
        EXPECT_EQ(0, fits.exit_code) << fits.out;
        EXPECT_EQ("zovactl set -ellv 1 -s\r\n", box.read("work/setoptions.bat"));
    }
}

TEST(SettingsFile, FolderMissingFileAndDeviceAreNoSettingsFile) {
    Sandbox box;
    box.make_folder("folder.ini");
    std::vector<std::string> names = {box.at("folder.ini"), box.at("missing.ini"),
                                      target().windows ? "NUL" : "/dev/null"};
    for (const std::string& name : names) {
        for (const char* mode : {"-t", "-c"}) {
            RunResult r = run(target().program, {"-f", name, mode});
            EXPECT_EQ(99, r.exit_code) << name;
            EXPECT_EQ(iz::kMissingFile, r.out) << name;
        }
    }
}

// Read as an empty file, it would install the defaults with exit 0. Natively
// a file of mode 000 for root without its permission bypass; on Windows one
// another program holds open without sharing.
TEST(SettingsFile, ExistingButUnreadableIsAnErrorNotTheDefaults) {
    Sandbox box;
    box.make_folder("work");
    box.make_folder("temp");
    box.write("s.ini", settings_file(box, "trace_level=2\r\n"));
    RunOptions options;
    options.env[target().windows ? "TEMP" : "TMPDIR"] = box.at("temp");
    if (target().windows) {
        options.env["IZ_HOLD"] = box.at("s.ini");
    } else {
        chmod(box.path("s.ini").c_str(), 0);
        options.without_dac_override = true;
    }
    const int error = target().windows ? 32 : 13;  // sharing violation, EACCES
    for (const char* mode : {"-t", "-c", ""}) {
        std::vector<std::string> args = {"-f", box.at("s.ini")};
        if (mode[0] != '\0') {
            args.push_back(mode);
        }
        RunResult r = run(target().program, args, options);
        EXPECT_EQ(99, r.exit_code) << mode;
        EXPECT_EQ(
            "QIRU09198-E An error occurred in I/O of the installation information settings "
            "file. Code = " +
                std::to_string(error) + " 100380\n",
            r.out)
            << mode;
        EXPECT_EQ(std::vector<std::string>{}, box.list("work")) << mode;
        EXPECT_EQ(std::vector<std::string>{}, box.list("temp")) << mode;
    }
}

TEST(SettingsFile, RelativeNameIsReadFromTheCurrentFolder) {
    Sandbox box;
    box.make_folder("work");
    box.write("s.ini", settings_file(box, "trace_level=2\r\n"));
    RunOptions here;
    here.cwd = box.path();
    RunResult r = run(target().program, {"-f", "s.ini", "-t"}, here);
    EXPECT_EQ(0, r.exit_code) << r.out;
    EXPECT_EQ("zovactl set -systflv 2 -s\r\n", box.read("work/setoptions.bat"));
}

TEST(SettingsFile, QuotesBlanksAndCaseFollowTheProfileRules) {
    Sandbox box;
    box.make_folder("work");
    box.write("s.ini",
              "; comment line\r\n[zova]\r\n  FileVersion =  \"0201\"  \r\n"
              "[Installation_Settings]\r\nWORKDIR='" +
                  box.at("work") + "'\r\ninstalldir=" + box.at("zova") +
                  "\r\n[ENVIRONMENT_SETTINGS]\r\nload_balance = on\r\n"
                  "load_balance=off\r\n[ENVIRONMENT_SETTINGS]\r\ntrace_level=1\r\n");
    RunResult r = run(target().program, {"-f", box.at("s.ini"), "-t"});
    EXPECT_EQ(0, r.exit_code) << r.out;
    // The first of two keys counts; a repeated section is not read.
    EXPECT_EQ("zovactl set -lb on -s\r\n", box.read("work/setoptions.bat"));
}

TEST(SettingsFile, HostileInputNeverCrashes) {
    std::mt19937 random(7);
    std::vector<std::string> contents = {
        std::string(100000, 'k') +
            "\r\n[ENVIRONMENT_SETTINGS]\r\nload_balance=" + std::string(100000, 'v') + "\r\n",
        "[ENVIRONMENT_SETTINGS]\r\nload_balance=\"o\"n\"\r\nload_balance_type=\x01\x02\r\n",
        "[ENVIRONMENT_SETTINGS]\r\nload_balance=\t \t\r\nerror_log_size=  12 34  \r\n",
        std::string("\0\0[ZOVA]\0fileversion=0201\n", 26),
    };
    std::string noise;
    for (int i = 0; i < 20000; ++i) {
        noise += static_cast<char>(random() % 256);
    }
    contents.push_back(noise);
    for (const std::string& content : contents) {
        Sandbox box;
        box.make_folder("work");
        box.write("s.ini", content);
        RunOptions options;
        options.env["TMPDIR"] = box.path("work");
        options.env["ProgramFiles"] = target().windows ? "C:\\Program Files" : box.path("pf");
        RunResult r = run(target().program, {"-f", box.at("s.ini"), "-t"}, options);
        // Only warnings: the version at least is missing or bad.
        EXPECT_EQ(99, r.exit_code) << r.out << r.err;
        EXPECT_LT(r.signal, 1) << r.err;
        for (const std::string& line : lines_of(r.out)) {
            EXPECT_EQ("QIRU0919", line.substr(0, 8)) << line;
        }
    }
}

}  // namespace
}  // namespace e2e
