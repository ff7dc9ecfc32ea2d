// The second stage of reading the settings: value kinds, file version,
// folders, switches, component choice, the work folder default and the
// reboot request.
#include "settings/validate.h"

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

const char kRegistryKey[] = "SOFTWARE\\KESTRON\\PathSentryMultiway";
const char kDefaultInstallDir[] = "C:\\Program Files\\KESTRON\\PathSentryMultiway";

// A settings file with a supported version and an existing work folder, plus
// `installation` and `environment` lines.
std::string settings_text(const std::string& installation, const std::string& environment = "") {
    return "[ZOVA]\r\nfileversion=0201\r\nzovaversion=6.1.0\r\n[INSTALLATION_SETTINGS]\r\n"
           "workdir=C:\\work\r\n" +
           installation + "[ENVIRONMENT_SETTINGS]\r\n" + environment;
}

struct Loaded {
    Status result = Status::Ok;
    bool warned = false;
};

Loaded load(FakeSystem& fake, Output& out, Settings& settings, const std::string& text) {
    fake.folders.insert("C:\\work");
    fake.environment["ProgramFiles"] = "C:\\Program Files";
    fake.files[kSettingsFile] = text;
    Loaded loaded;
    loaded.result = load_settings(fake, out, kSettingsFile, &settings, &loaded.warned);
    return loaded;
}

TEST(SettingsValidation, ValueKindsFollowDigitsAndBatchSpecialBytes) {
    const ValueKind a = ValueKind::Alphabetic;
    const ValueKind n = ValueKind::Numeric;
    const ValueKind t = ValueKind::Text;
    struct Case {
        std::string value;
        ValueKind kind;
        bool valid;
    } cases[] = {
        {"on", a, true},    {"off", a, true},   {"on1", a, false},     {"30", a, false},
        {"", a, true},      {"a b", a, true},   {"\x80\xff", a, true}, {"-", a, true},
        {"o&n", a, false},  {"a|b", a, false},  {"<", a, false},       {">", a, false},
        {"a^", a, false},   {"%x%", a, false},  {"\"on\"", a, false},  {"o\tn", a, false},
        {"\x1f", a, false}, {"\x01", a, false}, {"\r", a, false},      {"30", n, true},
        {"007", n, true},   {"", n, true},      {"-1", n, false},      {"+5", n, false},
        {"1.5", n, false},  {"30s", n, false},  {"on", n, false},      {" 3", n, false},
        {"\xb3", n, false}, {"on1", t, true},   {"&|<>^%\"", t, true}, {"-1", t, true},
        {"", t, true},      {"x\ty", t, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.valid, is_valid_value(c.value, c.kind))
            << "'" << c.value << "' kind " << static_cast<int>(c.kind);
    }
}

TEST(SettingsValidation, ValueOfWrongKindIsReportedAndCleared) {
    struct Case {
        const char* key;
        const char* value;
        SettingIndex row;
        bool valid;
    } cases[] = {
        {"error_log_size", "10M", kErrorLogSize, false},
        {"load_balance", "rr1", kLoadBalance, false},
        {"load_balance", "on", kLoadBalance, true},
        {"auto_failback", "a&b", kAutoFailback, false},
        {"remove_lu", "%x", kRemoveLu, false},
        {"path_health_check_interval", "-1", kPathHealthCheckInterval, false},
        {"intermittent_error_monitor_number", "+5", kIntermittentErrorMonitorNumber, false},
        {"error_log_size", "1.5", kErrorLogSize, false},
        {"lbex_usetimes_limit", "30", kLbexUsetimesLimit, true},
    };
    for (const Case& c : cases) {
        FakeSystem fake;
        Output out(fake);
        Settings settings;
        Loaded loaded = load(fake, out, settings,
                             settings_text("", std::string(c.key) + "=" + c.value + "\r\n"));
        EXPECT_EQ(Status::Ok, loaded.result) << c.key << "=" << c.value;
        EXPECT_EQ(c.valid ? 0 : 1, loaded.warned) << c.key << "=" << c.value;
        EXPECT_EQ(c.valid ? "" : bad_definition(c.key, c.value), fake.console);
        EXPECT_EQ(c.valid ? c.value : "", settings.value(c.row));
    }
}

TEST(SettingsValidation, FileVersionIsComparedBytewiseWith0201) {
    struct Case {
        const char* line;
        bool accepted;
    } cases[] = {
        {"fileversion=0201\r\n", true},
        {"fileversion=0200\r\n", true},
        {"fileversion=02\r\n", true},
        {"fileversion=0001\r\n", true},
        {"fileversion=0202\r\n", false},
        {"fileversion=020a\r\n", false},
        {"fileversion=1\r\n", false},
        {"fileversion=\r\n", false},
        {"", false},
        {"fileversion=\xe9\r\n", false},
    };
    for (const Case& c : cases) {
        FakeSystem fake;
        Output out(fake);
        Settings settings;
        Loaded loaded = load(fake, out, settings,
                             std::string("[ZOVA]\r\n") + c.line +
                                 "zovaversion=7.0-beta\r\n[INSTALLATION_SETTINGS]\r\n"
                                 "workdir=C:\\work\r\n");
        EXPECT_EQ(Status::Ok, loaded.result) << c.line;
        EXPECT_EQ(c.accepted ? 0 : 1, loaded.warned) << c.line;
        EXPECT_EQ(c.accepted ? "" : unsupported_version("7.0-beta"), fake.console) << c.line;
        if (!c.accepted) {
            EXPECT_EQ("0201", settings.value(kFileVersion)) << c.line;
        }
    }
}

TEST(SettingsValidation, WorkFolderMissingOrAFileFallsBackToTempFolder) {
    for (const char* workdir : {"C:\\nowhere", "C:\\notes.txt"}) {
        FakeSystem fake;
        fake.files["C:\\notes.txt"] = "x";
        Output out(fake);
        Settings settings;
        fake.files[kSettingsFile] =
            "[ZOVA]\r\nfileversion=0201\r\n[INSTALLATION_SETTINGS]\r\nworkdir=" +
            std::string(workdir) + "\r\n";
        fake.environment["ProgramFiles"] = "C:\\Program Files";
        bool warned = false;
        EXPECT_EQ(Status::Ok, load_settings(fake, out, kSettingsFile, &settings, &warned))
            << workdir;
        EXPECT_TRUE(warned);
        EXPECT_EQ(path_missing("workdir", workdir), fake.console);
        EXPECT_EQ("C:\\Temp\\", settings.value(kWorkDir));
    }
}

TEST(SettingsValidation, InstallFolderMayBeNewButNotAnExistingFile) {
    struct Case {
        const char* installdir;
        const char* expected;
        bool warned;
    } cases[] = {
        {"D:\\not\\yet", "D:\\not\\yet", false},
        {"D:\\existing", "D:\\existing", false},
        {"D:\\file.txt", kDefaultInstallDir, true},
    };
    for (const Case& c : cases) {
        FakeSystem fake;
        fake.folders.insert("D:\\existing");
        fake.files["D:\\file.txt"] = "x";
        Output out(fake);
        Settings settings;
        Loaded loaded = load(fake, out, settings,
                             settings_text(std::string("installdir=") + c.installdir + "\r\n"));
        EXPECT_EQ(Status::Ok, loaded.result) << c.installdir;
        EXPECT_EQ(c.warned ? 1 : 0, loaded.warned) << c.installdir;
        EXPECT_EQ(c.warned ? path_missing("installdir", c.installdir) : "", fake.console);
        EXPECT_EQ(c.expected, settings.value(kInstallDir));
    }
}

TEST(SettingsValidation, SwitchesKeepYOrNAsWrittenAndClearAnythingElse) {
    struct Case {
        const char* key;
        SettingIndex row;
        const char* line;
        const char* expected;
        const char* message;  // the QIRU09193 shown, or nothing
    } cases[] = {
        {"storage_eva", kStorageEva, "storage_eva=N\r\n", "N", ""},
        {"storage_eva", kStorageEva, "storage_eva=x\r\n", "", "x"},
        {"storage_eva", kStorageEva, "", "n", ""},
        {"storage_eva", kStorageEva, "storage_eva=\r\n", "n", ""},
        {"storage_emc", kStorageEmc, "storage_emc=Y\r\n", "Y", ""},
        {"storage_emc", kStorageEmc, "storage_emc=1\r\n", "", "1"},
        {"zova_core", kZovaCore, "zova_core=y\r\n", "y", ""},
        {"zova_core", kZovaCore, "zova_core=-\r\n", "", "-"},
        {"restart", kRestart, "restart=n\r\n", "n", ""},
        {"restart", kRestart, "restart=j\r\n", "", "j"},
    };
    for (const Case& c : cases) {
        FakeSystem fake;
        Output out(fake);
        Settings settings;
        Loaded loaded = load(fake, out, settings, settings_text(c.line));
        bool warned = c.message[0] != '\0';
        EXPECT_EQ(Status::Ok, loaded.result) << c.line;
        EXPECT_EQ(warned ? 1 : 0, loaded.warned) << c.line;
        EXPECT_EQ(c.expected, settings.value(c.row)) << c.line;
        EXPECT_EQ(warned ? bad_definition(c.key, c.message) : "", fake.console) << c.line;
    }
}

TEST(SettingsValidation, CoreOnlyIsRefusedOverAnInstallationOfAll) {
    struct Case {
        const char* zova_core;
        bool key_present;
        bool value_present;
        std::string option;
        bool refused;
    } cases[] = {
        {"y", true, true, "all", true},
        {"y", true, true, "All", true},
        {"Y", true, true, "ALL", true},
        {"y", true, true, "Core", false},
        {"y", false, false, "", false},
        {"y", true, false, "", true},
        {"y", true, true, "AllAllAl", false},
        {"y", true, true, std::string("All\0\0\0\0\0", 8), false},
        {"y", true, true, "All    ", false},
        {"n", true, true, "All", false},
        {"y", true, true, "", false},
    };
    for (const Case& c : cases) {
        FakeSystem fake;
        if (c.key_present) {
            fake.registry[kRegistryKey];
            if (c.value_present) {
                fake.registry[kRegistryKey]["InstallationOption"] = c.option;
            }
        }
        Output out(fake);
        Settings settings;
        Loaded loaded = load(fake, out, settings,
                             settings_text(std::string("zova_core=") + c.zova_core + "\r\n"));
        std::string label = std::string(c.zova_core) + " over '" + c.option + "'";
        EXPECT_EQ(Status::Ok, loaded.result) << label;
        EXPECT_EQ(c.refused ? 1 : 0, loaded.warned) << label;
        EXPECT_EQ(c.refused ? kCoreOverAll : "", fake.console) << label;
        EXPECT_EQ(c.refused ? "" : c.zova_core, settings.value(kZovaCore)) << label;
    }
}

TEST(SettingsValidation, TempFolderFailureStopsBeforeInstallFolderAndReboot) {
    // The warning flag still tells the warnings found before the failure.
    struct Case {
        const char* extra;
        bool warned;
        std::string console;
    } cases[] = {{"", false, file_io_error(1234, 100558)},
                 {"storage_emc=x\r\n", true,
                  bad_definition("storage_emc", "x") + file_io_error(1234, 100558)}};
    for (const Case& c : cases) {
        FakeSystem fake;
        fake.temp_fails = true;
        fake.error = 1234;
        fake.version = OsVersion{5, 1};  // the installation folder default would fail too
        Output out(fake);
        Settings settings;
        fake.files[kSettingsFile] =
            "[ZOVA]\r\nfileversion=0201\r\n[INSTALLATION_SETTINGS]\r\nrestart=y\r\n" +
            std::string(c.extra);
        bool warned = !c.warned;
        EXPECT_EQ(Status::NoDefault, load_settings(fake, out, kSettingsFile, &settings, &warned))
            << c.extra;
        EXPECT_EQ(c.warned, warned) << c.extra;
        EXPECT_EQ(c.console, fake.console);
        EXPECT_EQ("", settings.value(kWorkDir));
        EXPECT_EQ("", settings.value(kInstallDir));
        EXPECT_EQ(0, fake.wow64_queries);
        EXPECT_FALSE(settings.reboot_requested);
    }
}

TEST(SettingsValidation, TempFolderLongerThanWorkFilePathsAllowIsRefused) {
    // "\installzova-result.json", the longest work-file name, is appended to
    // the temp folder, trailing backslash or not.
    struct Case {
        size_t length;
        bool accepted;
    } cases[] = {{236, true}, {237, false}, {260, false}};
    for (const Case& c : cases) {
        FakeSystem fake;
        fake.temp_folder = "C:\\" + std::string(c.length - 4, 't') + "\\";
        ASSERT_EQ(c.length, fake.temp_folder.size());
        Output out(fake);
        Settings settings;
        Loaded loaded = load(fake, out, settings, "[ZOVA]\r\nfileversion=0201\r\n");
        if (c.accepted) {
            EXPECT_EQ(Status::Ok, loaded.result);
            EXPECT_EQ("", fake.console);
            EXPECT_EQ(fake.temp_folder, settings.value(kWorkDir));
            WorkPaths paths = build_work_paths(settings.value(kWorkDir), '\\');
            EXPECT_EQ(260u, paths.result_record.size());
            EXPECT_EQ(fake.temp_folder + "\\installzova.log", paths.run_log);
        } else {
            EXPECT_EQ(Status::NoDefault, loaded.result) << c.length;
            EXPECT_EQ(file_io_error(FakeSystem::kNameTooLong, 100558), fake.console) << c.length;
            EXPECT_EQ("", settings.value(kWorkDir)) << c.length;
            EXPECT_EQ("", settings.value(kInstallDir)) << c.length;
        }
    }
}

TEST(SettingsValidation, TempFolderBeyondTheQueryBufferOrWithALineBreakIsRefused) {
    // Beyond the buffer its work-file paths would exceed 260 characters too,
    // so it is refused the same way; a line break would split setup.iss.
    struct Case {
        std::string folder;
        int error;
    } cases[] = {
        {"C:\\" + std::string(257, 't') + "\\", FakeSystem::kNameTooLong},
        {"C:\\" + std::string(400, 't') + "\\", FakeSystem::kNameTooLong},
        {"C:\\Temp\nszDir=C:\\evil\\", FakeSystem::kInvalidName},
        {"C:\\Te\rmp\\", FakeSystem::kInvalidName},
    };
    for (const Case& c : cases) {
        FakeSystem fake;
        fake.temp_folder = c.folder;
        Output out(fake);
        Settings settings;
        EXPECT_EQ(Status::NoDefault,
                  load(fake, out, settings, "[ZOVA]\r\nfileversion=0201\r\n").result)
            << c.folder;
        EXPECT_EQ(file_io_error(c.error, 100558), fake.console) << c.folder;
        EXPECT_EQ("", settings.value(kWorkDir)) << c.folder;
    }
}

TEST(SettingsValidation, RestartYesRequestsRebootAndAnythingElseDoesNot) {
    struct Case {
        const char* line;
        int requested;
    } cases[] = {{"restart=Y\r\n", 1},
                 {"restart=y\r\n", 1},
                 {"", 0},
                 {"restart=n\r\n", 0},
                 {"restart=yes\r\n", 0}};
    for (const Case& c : cases) {
        FakeSystem fake;
        Output out(fake);
        Settings settings;
        Loaded loaded = load(fake, out, settings, settings_text(c.line));
        EXPECT_EQ(Status::Ok, loaded.result) << c.line;
        EXPECT_EQ(c.requested, settings.reboot_requested) << c.line;
    }
}

TEST(SettingsValidation, MessagesOfSeveralProblemsComeInStepOrder) {
    FakeSystem fake;
    fake.files["C:\\file.txt"] = "x";
    fake.registry[kRegistryKey]["InstallationOption"] = "All";
    Output out(fake);
    Settings settings;
    Loaded loaded = load(fake, out, settings,
                         "[ENVIRONMENT_SETTINGS]\r\nremove_lu=abcd\r\nerror_log_size=10M\r\n"
                         "load_balance=rr1\r\n"
                         "[INSTALLATION_SETTINGS]\r\nrestart=q\r\nzova_core=y\r\n"
                         "storage_eva=yes\r\nstorage_emc=x\r\ninstalldir=C:\\file.txt\r\n"
                         "workdir=C:\\missing\r\n"
                         "[ZOVA]\r\nzovaversion=1.2\r\nfileversion=0202\r\n");
    EXPECT_EQ(Status::Ok, loaded.result);
    EXPECT_TRUE(loaded.warned);
    EXPECT_EQ(bad_definition("storage_eva", "ye") + bad_definition("remove_lu", "abcd") +
                  bad_definition("load_balance", "rr1") + bad_definition("error_log_size", "10M") +
                  unsupported_version("1.2") + path_missing("workdir", "C:\\missing") +
                  path_missing("installdir", "C:\\file.txt") + bad_definition("storage_emc", "x") +
                  bad_definition("restart", "q") + kCoreOverAll,
              fake.console);
    EXPECT_EQ("C:\\Temp\\", settings.value(kWorkDir));
    EXPECT_EQ(kDefaultInstallDir, settings.value(kInstallDir));
    EXPECT_EQ("n", settings.value(kStorageEva));
    EXPECT_EQ("", settings.value(kStorageEmc));
    EXPECT_EQ("", settings.value(kZovaCore));
}

TEST(SettingsValidation, FileWithEveryKeyAbsentDrawsOnlyAnUnsupportedVersion) {
    for (const char* text : {"", "[OTHER]\r\nkey=value\r\n"}) {
        FakeSystem fake;
        fake.environment["ProgramFiles"] = "C:\\Program Files";
        fake.files[kSettingsFile] = text;
        Output out(fake);
        Settings settings;
        bool warned = false;
        EXPECT_EQ(Status::Ok, load_settings(fake, out, kSettingsFile, &settings, &warned));
        EXPECT_TRUE(warned);
        EXPECT_EQ(unsupported_version(""), fake.console);
        EXPECT_EQ("0201", settings.value(kFileVersion));
        for (SettingIndex row : {kStorageEmc, kStorageEva, kZovaCore, kRestart}) {
            EXPECT_EQ("n", settings.value(row)) << row;
        }
        EXPECT_EQ("C:\\Temp\\", settings.value(kWorkDir));
        EXPECT_EQ(kDefaultInstallDir, settings.value(kInstallDir));
        for (int row = kLoadBalance; row < kSettingCount; ++row) {
            EXPECT_EQ("", settings.table[row].value) << row;
        }
        EXPECT_FALSE(settings.reboot_requested);
    }
}

}  // namespace
}  // namespace iz
