// The options command file setoptions.bat, written before the installer
// starts.
#include "installer/options_file.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "messages/output.h"
#include "settings/settings_table.h"
#include "support/fake_system.h"
#include "support/test_helpers.h"

namespace iz {
namespace {

// Settings with a work folder and the given ENVIRONMENT_SETTINGS values.
void set_values(Settings& settings, std::vector<std::pair<SettingIndex, std::string>> values) {
    settings.table[kWorkDir].value = "C:\\work";
    for (const auto& v : values) {
        settings.table[v.first].value = v.second;
    }
}

std::string written_options(FakeSystem& fake, const Settings& settings) {
    Output out(fake);
    EXPECT_EQ(Status::Ok, write_options_file(fake, out, settings, kBat));
    EXPECT_EQ("", fake.console);
    auto found = fake.files.find(kBat);
    return found == fake.files.end() ? "<no file>" : found->second;
}

TEST(OptionsFileContent, AllEighteenKeysAtFullCapacityGiveTwelveLines) {
    FakeSystem fake;
    Settings settings;
    set_values(settings, {{kLoadBalance, "abc"},
                          {kLoadBalanceType, "abcde"},
                          {kErrorLogLevel, "1"},
                          {kErrorLogSize, "1234567"},
                          {kErrorLogNumber, "12"},
                          {kTraceLevel, "2"},
                          {kTraceFileSize, "12345"},
                          {kTraceFileNumber, "34"},
                          {kPathHealthCheck, "pch"},
                          {kPathHealthCheckInterval, "1111"},
                          {kAutoFailback, "afb"},
                          {kAutoFailbackInterval, "2222"},
                          {kIntermittentErrorMonitor, "iem"},
                          {kIntermittentErrorMonitorInterval, "3333"},
                          {kIntermittentErrorMonitorNumber, "99"},
                          {kLbexUsetimesLimit, "123456"},
                          {kRemoveLu, "rml"},
                          {kRemoveLuForce, "ON"}});
    const std::string iem = "zovactl set -iem iem -intvl 3333 -iemnum 99 -s";
    EXPECT_EQ(46u, iem.size());
    EXPECT_EQ(
        "zovactl set -lb abc -lbtype abcde -s\r\n"
        "zovactl set -ellv 1 -s\r\n"
        "zovactl set -elfs 1234567 -s\r\n"
        "zovactl set -elfn 12 -s\r\n"
        "zovactl set -systflv 2 -s\r\n"
        "zovactl set -systfs 12345 -s\r\n"
        "zovactl set -systfn 34 -s\r\n"
        "zovactl set -pchk pch -intvl 1111 -s\r\n"
        "zovactl set -afb afb -intvl 2222 -s\r\n" +
            iem +
            "\r\n"
            "zovactl set -exlimit 123456 -s\r\n"
            "zovactl set -rmlu rml -force -s\r\n",
        written_options(fake, settings));
}

TEST(OptionsFileContent, FailbackPlacementAndPartialCommands) {
    struct Case {
        const char* name;
        std::vector<std::pair<SettingIndex, std::string>> values;
        const char* text;
    } cases[] = {
        {"OFF held back behind -iem",
         {{kPathHealthCheck, "on"},
          {kAutoFailback, "OFF"},
          {kAutoFailbackInterval, "60"},
          {kIntermittentErrorMonitor, "on"},
          {kIntermittentErrorMonitorInterval, "30"},
          {kIntermittentErrorMonitorNumber, "3"},
          {kLbexUsetimesLimit, "7"}},
         "zovactl set -pchk on -s\r\n"
         "zovactl set -iem on -intvl 30 -iemnum 3 -s\r\n"
         "zovactl set -afb OFF -intvl 60 -s\r\n"
         "zovactl set -exlimit 7 -s\r\n"},
        {"off without -iem stays between -pchk and -exlimit",
         {{kPathHealthCheck, "on"}, {kAutoFailback, "off"}, {kLbexUsetimesLimit, "7"}},
         "zovactl set -pchk on -s\r\n"
         "zovactl set -afb off -s\r\n"
         "zovactl set -exlimit 7 -s\r\n"},
        {"empty failback with interval is not held back",
         {{kAutoFailbackInterval, "5"}, {kIntermittentErrorMonitor, "off"}},
         "zovactl set -afb -intvl 5 -s\r\n"
         "zovactl set -iem off -s\r\n"},
        {"on is not held back",
         {{kAutoFailback, "on"}, {kIntermittentErrorMonitorNumber, "2"}},
         "zovactl set -afb on -s\r\n"
         "zovactl set -iem -iemnum 2 -s\r\n"},
        {"-pchk with only the interval",
         {{kPathHealthCheckInterval, "30"}},
         "zovactl set -pchk -intvl 30 -s\r\n"},
        {"-lb with only the type", {{kLoadBalanceType, "rr"}}, "zovactl set -lb -lbtype rr -s\r\n"},
        {"-iem with only the interval",
         {{kIntermittentErrorMonitorInterval, "10"}},
         "zovactl set -iem -intvl 10 -s\r\n"},
        {"single value alone", {{kTraceLevel, "0"}}, "zovactl set -systflv 0 -s\r\n"},
    };
    for (const Case& c : cases) {
        FakeSystem fake;
        Settings settings;
        set_values(settings, c.values);
        EXPECT_EQ(c.text, written_options(fake, settings)) << c.name;
    }
}

TEST(OptionsFileContent, RemoveLuForceOnlyForOnInAnyCase) {
    struct Case {
        const char* remove_lu;
        const char* force;
        const char* line;
    } cases[] = {
        {"on", "On", "zovactl set -rmlu on -force -s\r\n"},
        {"on", "on", "zovactl set -rmlu on -force -s\r\n"},
        {"off", "ON", "zovactl set -rmlu off -force -s\r\n"},
        {"", "off", "zovactl set -rmlu -s\r\n"},
        {"", "on", "zovactl set -rmlu -force -s\r\n"},
        {"on", "", "zovactl set -rmlu on -s\r\n"},
        {"on", "yes", "zovactl set -rmlu on -s\r\n"},
        {"on", "onn", "zovactl set -rmlu on -s\r\n"},
    };
    for (const Case& c : cases) {
        FakeSystem fake;
        Settings settings;
        set_values(settings, {{kRemoveLu, c.remove_lu}, {kRemoveLuForce, c.force}});
        EXPECT_EQ(c.line, written_options(fake, settings)) << c.remove_lu << "/" << c.force;
    }
}

TEST(OptionsFileContent, NoKeySetLeavesNoFileAndRemovesAnEarlierOne) {
    for (bool earlier : {false, true}) {
        FakeSystem fake;
        Settings settings;
        set_values(settings, {});
        // Installation settings alone never give a command.
        settings.table[kStorageEmc].value = "y";
        settings.table[kZovaVersion].value = "6.1";
        if (earlier) {
            fake.files[kBat] = "zovactl set -lb on -s\r\n";
        }
        EXPECT_EQ("<no file>", written_options(fake, settings)) << earlier;
    }
}

TEST(OptionsFileContent, ReadOnlyOptionsFileIsReportedAsAnOptionsFileFailure) {
    // The file is opened before any command is built, so even with no key set
    // the failure to open it is reported.
    for (const char* load_balance : {"on", ""}) {
        FakeSystem fake;
        Settings settings;
        set_values(settings, {{kLoadBalance, load_balance}});
        fake.files[kBat] = "earlier";
        fake.read_only.insert(kBat);
        Output out(fake);
        EXPECT_EQ(Status::OptionsFile, write_options_file(fake, out, settings, kBat))
            << load_balance;
        EXPECT_EQ(file_io_error(5, 100918), fake.console) << load_balance;
        EXPECT_EQ("earlier", fake.files[kBat]) << load_balance;
    }
}

}  // namespace
}  // namespace iz
