// The two work files written before the installer starts: the response file
// setup.iss and the options command file setoptions.bat.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "core/run_state.h"
#include "installer/options_file.h"
#include "installer/response_file.h"
#include "main/run_main.h"
#include "settings/load_settings.h"
#include "support/fake_system.h"

namespace iz {
namespace {

const char kFile[] = "C:\\s.ini";
const char kOptions[] = "C:\\work\\setoptions.bat";

std::string file_io_error(int error, int code) {
    return "QIRU09216-E An error occurred during I/O of a file that installzova uses. Error Code "
           "= " +
           std::to_string(error) + ", " + std::to_string(code) + "\n";
}

// Loads `text` as the settings file and derives the work paths.
RunState& loaded(FakeSystem& fake, RunState& state, const std::string& text) {
    fake.folders.insert("C:\\work");
    fake.environment["ProgramFiles"] = "C:\\Program Files";
    fake.files[kFile] = text;
    int warned = 0;
    EXPECT_EQ(0, load_settings(state, kFile, &warned));
    build_work_paths(state);
    return state;
}

struct ResponseValues {
    std::string workdir;
    std::string component;
    std::string installdir;
    char emc;
    char eva;
    std::string version;
    bool reboot;
};

std::string expected_response(const ResponseValues& v) {
    return std::string(
               "[InstallShield Silent]\r\n"
               "Version=v7.00\r\n"
               "File=Response File\r\n"
               "[File Transfer]\r\n"
               "OverwrittenReadOnly=NoToAll\r\n"
               "[{4C7E2B90-58A1-4D3F-9E6B-71C0A2F5D843}-DlgOrder]\r\n"
               "Dlg0={4C7E2B90-58A1-4D3F-9E6B-71C0A2F5D843}-SdShowDlgEdit3-0\r\n"
               "Count=4\r\n"
               "Dlg1={4C7E2B90-58A1-4D3F-9E6B-71C0A2F5D843}-SdAskDestPath-0\r\n"
               "Dlg2={4C7E2B90-58A1-4D3F-9E6B-71C0A2F5D843}-AskOptions-0\r\n"
               "Dlg3={4C7E2B90-58A1-4D3F-9E6B-71C0A2F5D843}-SdFinishReboot-0\r\n"
               "[{4C7E2B90-58A1-4D3F-9E6B-71C0A2F5D843}-SdShowDlgEdit3-0]\r\n"
               "szEdit1=") +
           v.workdir + "\r\nszEdit3=" + v.component +
           "\r\n"
           "Result=1\r\n"
           "[{4C7E2B90-58A1-4D3F-9E6B-71C0A2F5D843}-SdAskDestPath-0]\r\n"
           "szDir=" +
           v.installdir +
           "\r\n"
           "Result=1\r\n"
           "[{4C7E2B90-58A1-4D3F-9E6B-71C0A2F5D843}-AskOptions-0]\r\n"
           "Result=1\r\n"
           "Sel-0=1\r\n"
           "Sel-1=" +
           v.emc + "\r\nSel-2=" + v.eva +
           "\r\n"
           "[Application]\r\n"
           "Name=Path Sentry Multiway\r\n"
           "Version=" +
           v.version +
           "\r\n"
           "Company=KESTRON\r\n"
           "Lang=0009\r\n"
           "[{4C7E2B90-58A1-4D3F-9E6B-71C0A2F5D843}-SdFinishReboot-0]\r\n" +
           (v.reboot ? "Result=6\r\nBootOption=3\r\n" : "Result=1\r\nBootOption=0\r\n");
}

TEST(ResponseFileContent, CoreWithRestartInTempFolderIsWrittenByteForByte) {
    FakeSystem fake;
    RunState state(fake);
    loaded(fake, state,
           "[ZOVA]\r\nfileversion=0201\r\n[INSTALLATION_SETTINGS]\r\nzova_core=Y\r\n"
           "storage_emc=y\r\nstorage_eva=n\r\nrestart=y\r\ninstalldir=D:\\ZOVA\r\n");
    EXPECT_EQ(0, write_response_file(state));
    const std::string path = "C:\\Temp\\\\setup.iss";
    ASSERT_EQ(1u, fake.files.count(path));
    EXPECT_EQ(expected_response({"C:\\Temp\\", "Core", "D:\\ZOVA", '1', '0', "", true}),
              fake.files[path]);
    EXPECT_EQ("", fake.console);
}

TEST(ResponseFileContent, AllWithoutRestartIsWrittenByteForByte) {
    for (const char* switches : {"", "storage_emc=n\r\nstorage_eva=N\r\nzova_core=n\r\n"}) {
        FakeSystem fake;
        RunState state(fake);
        fake.files["C:\\work\\setup.iss"] = std::string(5000, 'x');  // an earlier file
        loaded(fake, state,
               std::string("[ZOVA]\r\nfileversion=0201\r\nzovaversion=6.1.0-01\r\n"
                           "[INSTALLATION_SETTINGS]\r\nworkdir=C:\\work\r\n") +
                   switches);
        EXPECT_EQ(0, write_response_file(state));
        EXPECT_EQ(
            expected_response({"C:\\work", "All", "C:\\Program Files\\KESTRON\\PathSentryMultiway",
                               '0', '0', "6.1.0-01", false}),
            fake.files["C:\\work\\setup.iss"])
            << switches;
    }
}

TEST(ResponseFileContent, CoreRefusedOverAllInstallationCarriesAll) {
    FakeSystem fake;
    fake.registry["SOFTWARE\\KESTRON\\PathSentryMultiway"]["InstallationOption"] = "all";
    RunState state(fake);
    loaded(fake, state,
           "[ZOVA]\r\nfileversion=0201\r\n[INSTALLATION_SETTINGS]\r\nworkdir=C:\\work\r\n"
           "zova_core=y\r\nstorage_eva=Y\r\n");
    EXPECT_EQ(0, write_response_file(state));
    EXPECT_EQ(
        expected_response({"C:\\work", "All", "C:\\Program Files\\KESTRON\\PathSentryMultiway", '0',
                           '1', "", false}),
        fake.files["C:\\work\\setup.iss"]);
}

TEST(ResponseFileContent, ReadOnlyResponseFileIsReportedWithStatus6) {
    FakeSystem fake;
    RunState state(fake);
    state.value(kWorkDir) = "C:\\work";
    state.value(kInstallDir) = "D:\\ZOVA";
    build_work_paths(state);
    fake.files["C:\\work\\setup.iss"] = "earlier";
    fake.read_only.insert("C:\\work\\setup.iss");
    EXPECT_EQ(6, write_response_file(state));
    EXPECT_EQ(file_io_error(5, 100659), fake.console);
    EXPECT_EQ("earlier", fake.files["C:\\work\\setup.iss"]);
}

// A state with a work folder and the given ENVIRONMENT_SETTINGS values.
void set_values(RunState& state, std::vector<std::pair<int, std::string>> values) {
    state.value(kWorkDir) = "C:\\work";
    build_work_paths(state);
    for (const auto& v : values) {
        state.value(v.first) = v.second;
    }
}

std::string written_options(FakeSystem& fake, RunState& state) {
    EXPECT_EQ(0, write_options_file(state));
    EXPECT_EQ("", fake.console);
    auto found = fake.files.find(kOptions);
    return found == fake.files.end() ? "<no file>" : found->second;
}

TEST(OptionsFileContent, AllEighteenKeysAtFullCapacityGiveTwelveLines) {
    FakeSystem fake;
    RunState state(fake);
    set_values(state, {{kLoadBalance, "abc"},
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
        written_options(fake, state));
}

TEST(OptionsFileContent, FailbackPlacementAndPartialCommands) {
    struct Case {
        const char* name;
        std::vector<std::pair<int, std::string>> values;
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
        RunState state(fake);
        set_values(state, c.values);
        EXPECT_EQ(c.text, written_options(fake, state)) << c.name;
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
        RunState state(fake);
        set_values(state, {{kRemoveLu, c.remove_lu}, {kRemoveLuForce, c.force}});
        EXPECT_EQ(c.line, written_options(fake, state)) << c.remove_lu << "/" << c.force;
    }
}

TEST(OptionsFileContent, NoKeySetLeavesNoFileAndRemovesAnEarlierOne) {
    for (bool earlier : {false, true}) {
        FakeSystem fake;
        RunState state(fake);
        set_values(state, {});
        // Installation settings alone never give a command.
        state.value(kStorageEmc) = "y";
        state.value(kZovaVersion) = "6.1";
        if (earlier) {
            fake.files[kOptions] = "zovactl set -lb on -s\r\n";
        }
        EXPECT_EQ("<no file>", written_options(fake, state)) << earlier;
    }
}

TEST(OptionsFileContent, ReadOnlyOptionsFileIsReportedWithStatus9) {
    // The file is opened before any command is built, so even with no key set
    // the failure to open it is reported.
    for (const char* load_balance : {"on", ""}) {
        FakeSystem fake;
        RunState state(fake);
        set_values(state, {{kLoadBalance, load_balance}});
        fake.files[kOptions] = "earlier";
        fake.read_only.insert(kOptions);
        EXPECT_EQ(9, write_options_file(state)) << load_balance;
        EXPECT_EQ(file_io_error(5, 100918), fake.console) << load_balance;
        EXPECT_EQ("earlier", fake.files[kOptions]) << load_balance;
    }
}

}  // namespace
}  // namespace iz
