// The default installation folder: the version gate, the WOW64 question and
// the program-files folder below "\KESTRON\PathSentryMultiway".
#include "settings/install_dir.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "messages/output.h"
#include "settings/load_settings.h"
#include "settings/settings_table.h"
#include "support/fake_system.h"
#include "support/test_helpers.h"

namespace iz {
namespace {

const char kSuffix[] = "\\KESTRON\\PathSentryMultiway";

void stage_program_files(FakeSystem& fake) {
    fake.environment["ProgramFiles"] = "C:\\Program Files";
    fake.environment["ProgramFiles(x86)"] = "C:\\Program Files (x86)";
}

// A run over the fake system. Tables whose cases each need a fresh system
// build their own in the loop.
class DefaultInstallDir : public ::testing::Test {
  protected:
    FakeSystem fake;
    Output out{fake};
    Settings settings;
};

TEST_F(DefaultInstallDir, EveryFailureReportsAnInternalErrorWithErrorAndCode) {
    struct Case {
        const char* name;
        std::function<void(FakeSystem&)> stage;
        int code;
    } cases[] = {
        {"version unreadable", [](FakeSystem& f) { f.version_readable = false; }, 200123},
        {"no Kernel32", [](FakeSystem& f) { f.wow64_answer = Wow64Answer::NoModule; }, 200140},
        {"no IsWow64Process", [](FakeSystem& f) { f.wow64_answer = Wow64Answer::NoFunction; },
         200150},
        {"WOW64 query fails", [](FakeSystem& f) { f.wow64_answer = Wow64Answer::CallFailed; },
         200160},
        {"version 5.1",
         [](FakeSystem& f) {
             f.version = OsVersion{5, 1};
         },
         200170},
        {"version 6.2",
         [](FakeSystem& f) {
             f.version = OsVersion{6, 2};
         },
         200170},
        {"version 10.0",
         [](FakeSystem& f) {
             f.version = OsVersion{10, 0};
         },
         200170},
        {"version 4.0",
         [](FakeSystem& f) {
             f.version = OsVersion{4, 0};
         },
         200170},
        {"ProgramFiles absent", [](FakeSystem& f) { f.environment.erase("ProgramFiles"); }, 200189},
        {"ProgramFiles empty", [](FakeSystem& f) { f.environment["ProgramFiles"] = ""; }, 200189},
        {"ProgramFiles of 74",
         [](FakeSystem& f) { f.environment["ProgramFiles"] = "C:\\" + std::string(71, 'p'); },
         200189},
        {"ProgramFiles(x86) absent under WOW64",
         [](FakeSystem& f) {
             f.wow64 = true;
             f.environment.erase("ProgramFiles(x86)");
         },
         200189},
    };
    for (const Case& c : cases) {
        FakeSystem fake;
        stage_program_files(fake);
        c.stage(fake);
        fake.error = 4321;
        Output out(fake);
        std::string folder;
        EXPECT_EQ(Status::NoDefault, default_install_dir(fake, out, &folder, kInstallDirSize))
            << c.name;
        EXPECT_EQ("", folder) << c.name;
        // No call failed for an unsupported version, so there is no number;
        // a ProgramFiles too long for its room is a name too long.
        int error = c.code == 200170                              ? 0
                    : std::string(c.name) == "ProgramFiles of 74" ? FakeSystem::kNameTooLong
                                                                  : 4321;
        EXPECT_EQ(internal_error(error, c.code), fake.console) << c.name;
    }
}

TEST_F(DefaultInstallDir, AcceptedVersionsAskWow64ExceptOn50) {
    struct Case {
        OsVersion version;
        bool wow64;
        const char* expected_folder;
        int queries;
    } cases[] = {
        {{5, 0}, true, "C:\\Program Files", 0},  // Windows 2000 never asks
        {{5, 2}, false, "C:\\Program Files", 1},      {{5, 2}, true, "C:\\Program Files (x86)", 1},
        {{6, 0}, false, "C:\\Program Files", 1},      {{6, 1}, false, "C:\\Program Files", 1},
        {{6, 1}, true, "C:\\Program Files (x86)", 1},
    };
    for (const Case& c : cases) {
        FakeSystem fake;
        stage_program_files(fake);
        fake.version = c.version;
        fake.wow64 = c.wow64;
        if (c.queries == 0) {
            fake.wow64_answer = Wow64Answer::CallFailed;  // would fail if asked
        }
        Output out(fake);
        std::string folder;
        std::string label = std::to_string(c.version.major) + "." +
                            std::to_string(c.version.minor) + (c.wow64 ? " WOW64" : "");
        EXPECT_EQ(Status::Ok, default_install_dir(fake, out, &folder, kInstallDirSize)) << label;
        EXPECT_EQ(std::string(c.expected_folder) + kSuffix, folder) << label;
        EXPECT_EQ(c.queries, fake.wow64_queries) << label;
        EXPECT_EQ("", fake.console) << label;
    }
}

TEST_F(DefaultInstallDir, ProgramFilesOf73CharactersGivesExactly100) {
    fake.environment["ProgramFiles"] = "C:\\" + std::string(70, 'p');
    ASSERT_EQ(73u, fake.environment["ProgramFiles"].size());
    std::string folder;
    EXPECT_EQ(Status::Ok, default_install_dir(fake, out, &folder, kInstallDirSize));
    EXPECT_EQ(100u, folder.size());
    EXPECT_EQ(fake.environment["ProgramFiles"] + kSuffix, folder);
}

TEST_F(DefaultInstallDir, TrailingBackslashGivesADoubledOne) {
    fake.environment["ProgramFiles"] = "D:\\Apps\\";
    std::string folder;
    EXPECT_EQ(Status::Ok, default_install_dir(fake, out, &folder, kInstallDirSize));
    EXPECT_EQ("D:\\Apps\\\\KESTRON\\PathSentryMultiway", folder);
}

TEST_F(DefaultInstallDir, GivenInstallFolderMeansTheVersionIsNeverExamined) {
    fake.version_readable = false;
    fake.version = OsVersion{5, 1};
    fake.folders.insert("C:\\work");
    fake.files["C:\\s.ini"] =
        "[ZOVA]\r\nfileversion=0201\r\n[INSTALLATION_SETTINGS]\r\nworkdir=C:\\work\r\n"
        "installdir=E:\\Target\r\n";
    bool warned = true;
    EXPECT_EQ(Status::Ok, load_settings(fake, out, "C:\\s.ini", &settings, &warned));
    EXPECT_FALSE(warned);
    EXPECT_EQ("", fake.console);
    EXPECT_EQ("E:\\Target", settings.value(kInstallDir));
    EXPECT_EQ(0, fake.wow64_queries);
}

TEST_F(DefaultInstallDir, FailureEndsLoadSettingsWithNoDefaultAndNoReboot) {
    fake.version = OsVersion{5, 1};
    fake.folders.insert("C:\\work");
    fake.environment["ProgramFiles"] = "C:\\Program Files";
    fake.files["C:\\s.ini"] =
        "[ZOVA]\r\nfileversion=0201\r\n[INSTALLATION_SETTINGS]\r\nworkdir=C:\\work\r\n"
        "restart=y\r\n";
    bool warned = true;
    EXPECT_EQ(Status::NoDefault, load_settings(fake, out, "C:\\s.ini", &settings, &warned));
    EXPECT_FALSE(warned);
    EXPECT_EQ(internal_error(0, 200170), fake.console);
    EXPECT_EQ("", settings.value(kInstallDir));
    EXPECT_FALSE(settings.reboot_requested);
}

}  // namespace
}  // namespace iz
