// The response file setup.iss, written before the installer starts.
#include "installer/response_file.h"

#include <gtest/gtest.h>

#include <string>

#include "main/run_main.h"
#include "messages/output.h"
#include "settings/load_settings.h"
#include "settings/settings_table.h"
#include "support/fake_system.h"
#include "support/test_helpers.h"

namespace iz {
namespace {

// Loads `text` as the settings file and gives the response file's path.
std::string loaded(FakeSystem& fake, Output& out, Settings& settings, const std::string& text) {
    fake.folders.insert("C:\\work");
    fake.environment["ProgramFiles"] = "C:\\Program Files";
    fake.files[kSettingsFile] = text;
    bool warned = false;
    EXPECT_EQ(Status::Ok, load_settings(fake, out, kSettingsFile, &settings, &warned));
    return build_work_paths(settings.value(kWorkDir), '\\').response;
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

// A run over the fake system. Tables whose cases each need a fresh system
// build their own in the loop.
class ResponseFileContent : public ::testing::Test {
  protected:
    FakeSystem fake;
    Output out{fake};
    Settings settings;
};

TEST_F(ResponseFileContent, CoreWithRestartInTempFolderIsWrittenByteForByte) {
    std::string path =
        loaded(fake, out, settings,
               "[ZOVA]\r\nfileversion=0201\r\n[INSTALLATION_SETTINGS]\r\nzova_core=Y\r\n"
               "storage_emc=y\r\nstorage_eva=n\r\nrestart=y\r\ninstalldir=D:\\ZOVA\r\n");
    EXPECT_EQ(Status::Ok, write_response_file(fake, out, settings, path));
    ASSERT_EQ("C:\\Temp\\\\setup.iss", path);
    ASSERT_EQ(1u, fake.files.count(path));
    EXPECT_EQ(expected_response({"C:\\Temp\\", "Core", "D:\\ZOVA", '1', '0', "", true}),
              fake.files[path]);
    EXPECT_EQ("", fake.console);
}

TEST_F(ResponseFileContent, AllWithoutRestartIsWrittenByteForByte) {
    for (const char* switches : {"", "storage_emc=n\r\nstorage_eva=N\r\nzova_core=n\r\n"}) {
        FakeSystem fake;
        Output out(fake);
        Settings settings;
        fake.files["C:\\work\\setup.iss"] = std::string(5000, 'x');  // an earlier file
        std::string path =
            loaded(fake, out, settings,
                   std::string("[ZOVA]\r\nfileversion=0201\r\nzovaversion=6.1.0-01\r\n"
                               "[INSTALLATION_SETTINGS]\r\nworkdir=C:\\work\r\n") +
                       switches);
        EXPECT_EQ(Status::Ok, write_response_file(fake, out, settings, path));
        EXPECT_EQ(
            expected_response({"C:\\work", "All", "C:\\Program Files\\KESTRON\\PathSentryMultiway",
                               '0', '0', "6.1.0-01", false}),
            fake.files["C:\\work\\setup.iss"])
            << switches;
    }
}

TEST_F(ResponseFileContent, CoreRefusedOverAllInstallationCarriesAll) {
    fake.registry["SOFTWARE\\KESTRON\\PathSentryMultiway"]["InstallationOption"] = "all";
    std::string path =
        loaded(fake, out, settings,
               "[ZOVA]\r\nfileversion=0201\r\n[INSTALLATION_SETTINGS]\r\nworkdir=C:\\work\r\n"
               "zova_core=y\r\nstorage_eva=Y\r\n");
    EXPECT_EQ(Status::Ok, write_response_file(fake, out, settings, path));
    EXPECT_EQ(
        expected_response({"C:\\work", "All", "C:\\Program Files\\KESTRON\\PathSentryMultiway", '0',
                           '1', "", false}),
        fake.files["C:\\work\\setup.iss"]);
}

TEST_F(ResponseFileContent, ReadOnlyResponseFileIsReportedAsAResponseFileFailure) {
    settings.table[kWorkDir].value = "C:\\work";
    settings.table[kInstallDir].value = "D:\\ZOVA";
    fake.files["C:\\work\\setup.iss"] = "earlier";
    fake.read_only.insert("C:\\work\\setup.iss");
    EXPECT_EQ(Status::ResponseFile, write_response_file(fake, out, settings, kIss));
    EXPECT_EQ(file_io_error(5, 100659), fake.console);
    EXPECT_EQ("earlier", fake.files["C:\\work\\setup.iss"]);
}

}  // namespace
}  // namespace iz
