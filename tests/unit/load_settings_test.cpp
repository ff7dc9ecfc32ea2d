// The first stage of reading the settings: checking the settings file, taking
// its full path, the read pass with over-long values, and the trace of the raw
// settings in the run log.
#include "settings/load_settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "messages/output.h"
#include "settings/settings_table.h"
#include "support/fake_system.h"
#include "support/test_helpers.h"

namespace iz {
namespace {

// A system on which the settings load without any warning of their own.
void stage_good_system(FakeSystem& fake) {
    fake.folders.insert("C:\\work");
    fake.environment["ProgramFiles"] = "C:\\Program Files";
}

const char kCleanFile[] =
    "[ZOVA]\r\nfileversion=0201\r\nzovaversion=6.1.0\r\n"
    "[INSTALLATION_SETTINGS]\r\nworkdir=C:\\work\r\n";

// The run log's lines after the 25-character prefix, without line ends.
std::vector<std::string> log_texts(const FakeSystem& fake) {
    std::vector<std::string> texts;
    auto found = fake.files.find(kLog);
    if (found == fake.files.end()) {
        return texts;
    }
    const std::string& log = found->second;
    size_t start = 0;
    for (size_t end = log.find("\r\n"); end != std::string::npos; end = log.find("\r\n", start)) {
        std::string line = log.substr(start, end - start);
        texts.push_back(line.size() >= 25 ? line.substr(25) : line);
        start = end + 2;
    }
    EXPECT_EQ(log.size(), start) << "the run log ends with a line end";
    return texts;
}

// A run over a system staged as above. Tables whose cases each need a fresh
// system build their own in the loop.
class SettingsReading : public ::testing::Test {
  protected:
    void SetUp() override { stage_good_system(fake); }
    FakeSystem fake;
    Output out{fake};
    Settings settings;
};

TEST_F(SettingsReading, FileNameOf260CharactersPassesAnd261IsMissing) {
    struct Case {
        size_t length;
        Status result;
    } cases[] = {{260, Status::Ok}, {261, Status::SettingsFile}};
    for (const Case& c : cases) {
        FakeSystem fake;
        stage_good_system(fake);
        std::string name = "C:\\" + std::string(c.length - 7, 'n') + ".ini";
        ASSERT_EQ(c.length, name.size());
        fake.files[name] = kCleanFile;
        Output out(fake);
        Settings settings;
        bool warned = true;
        EXPECT_EQ(c.result, load_settings(fake, out, name, &settings, &warned)) << c.length;
        EXPECT_FALSE(warned);
        EXPECT_EQ(c.result == Status::Ok ? "" : kMissingFile, fake.console) << c.length;
        EXPECT_EQ(c.result == Status::Ok ? name : "", settings.settings_full_path);
    }
}

TEST_F(SettingsReading, FolderMissingFileOrDeviceCountsAsMissingFile) {
    fake.folders.insert("C:\\config");
    fake.devices.insert("NUL");
    fake.files["C:\\other.ini"] = kCleanFile;
    for (const char* name : {"C:\\config", "C:\\absent.ini", "NUL"}) {
        fake.console.clear();
        Output out(fake);
        Settings settings;
        settings.table[kStorageEmc].value = "untouched";
        bool warned = true;
        EXPECT_EQ(Status::SettingsFile, load_settings(fake, out, name, &settings, &warned)) << name;
        EXPECT_FALSE(warned) << name;
        EXPECT_EQ(kMissingFile, fake.console) << name;
        EXPECT_EQ("untouched", settings.value(kStorageEmc)) << "nothing is read for " << name;
    }
}

TEST_F(SettingsReading, FullPathFailureReportsAnInternalErrorWithErrorAndCode) {
    fake.files[kSettingsFile] = kCleanFile;
    fake.full_path_fails = true;
    fake.error = 1234;
    bool warned = true;
    EXPECT_EQ(Status::SettingsFile, load_settings(fake, out, kSettingsFile, &settings, &warned));
    EXPECT_FALSE(warned);
    EXPECT_EQ(internal_error(1234, 100373), fake.console);
}

TEST_F(SettingsReading, FullPathOfMoreThan260CharactersIsRefused) {
    // "C:\work\" and the name: a full path of 260 characters fits, 261 does not.
    struct Case {
        size_t full_length;
        Status result;
    } cases[] = {{260, Status::Ok}, {261, Status::SettingsFile}};
    for (const Case& c : cases) {
        FakeSystem fake;
        stage_good_system(fake);
        fake.error = 206;
        std::string name(c.full_length - 8, 'r');
        std::string full = "C:\\work\\" + name;
        fake.files[name] = kCleanFile;
        fake.files[full] = kCleanFile;
        Output out(fake);
        Settings settings;
        bool warned = true;
        EXPECT_EQ(c.result, load_settings(fake, out, name, &settings, &warned)) << c.full_length;
        EXPECT_FALSE(warned);
        if (c.result == Status::Ok) {
            EXPECT_EQ(full, settings.settings_full_path);
            EXPECT_EQ("", fake.console);
        } else {
            EXPECT_EQ(internal_error(206, 100373), fake.console);
        }
    }
}

TEST_F(SettingsReading, NameWithoutFolderIsReadThroughItsFullPath) {
    // Only the existence check sees the name as typed; reading must use the full path.
    fake.files["s.ini"] = "[ZOVA]\r\nfileversion=0201\r\nzovaversion=typed\r\n";
    fake.files["C:\\work\\s.ini"] = "[ZOVA]\r\nfileversion=0201\r\nzovaversion=full\r\n";
    bool warned = true;
    EXPECT_EQ(Status::Ok, load_settings(fake, out, "s.ini", &settings, &warned));
    EXPECT_EQ("C:\\work\\s.ini", settings.settings_full_path);
    EXPECT_EQ("full", settings.value(kZovaVersion));
    EXPECT_FALSE(warned);
}

TEST_F(SettingsReading, MissingKeysAndSectionsGiveEmptyValuesWithoutMessage) {
    // Section and key names match without regard to case; other sections are ignored.
    fake.files[kSettingsFile] =
        "[zova]\r\nFILEVERSION=0201\r\n[OTHER]\r\nload_balance=on\r\nunknown_key=1\r\n";
    bool warned = true;
    EXPECT_EQ(Status::Ok, load_settings(fake, out, kSettingsFile, &settings, &warned));
    EXPECT_FALSE(warned);
    EXPECT_EQ("", fake.console);
    EXPECT_EQ("0201", settings.value(kFileVersion));
    EXPECT_EQ("", settings.value(kZovaVersion));
    EXPECT_EQ("", settings.value(kLoadBalance));
    EXPECT_EQ("", settings.value(kRemoveLuForce));
}

TEST_F(SettingsReading, ValueAtCapacityIsKeptAndOneBeyondIsReportedAndCleared) {
    struct Case {
        size_t length;
        bool kept;
    } cases[] = {{100, true}, {101, false}, {150, false}};
    for (const Case& c : cases) {
        FakeSystem fake;
        stage_good_system(fake);
        std::string folder = "C:\\" + std::string(c.length - 3, 'w');
        fake.folders.insert(folder);
        fake.files[kSettingsFile] =
            "[ZOVA]\r\nfileversion=0201\r\n[INSTALLATION_SETTINGS]\r\nworkdir=" + folder + "\r\n";
        Output out(fake);
        Settings settings;
        bool warned = false;
        EXPECT_EQ(Status::Ok, load_settings(fake, out, kSettingsFile, &settings, &warned))
            << c.length;
        if (c.kept) {
            EXPECT_EQ(folder, settings.value(kWorkDir));
            EXPECT_EQ("", fake.console);
            EXPECT_FALSE(warned);
        } else {
            EXPECT_EQ(bad_definition("workdir", folder.substr(0, 101)), fake.console);
            EXPECT_EQ("C:\\Temp\\", settings.value(kWorkDir)) << "falls back to the temp folder";
            EXPECT_TRUE(warned);
        }
        EXPECT_EQ(c.length > 100 ? 101u : c.length, settings.table[kWorkDir].returned_length);
    }
}

TEST_F(SettingsReading, OverLongSwitchShowsCapacityPlusOneCharacters) {
    fake.files[kSettingsFile] = std::string(kCleanFile) + "storage_emc=yes\r\n";
    bool warned = false;
    EXPECT_EQ(Status::Ok, load_settings(fake, out, kSettingsFile, &settings, &warned));
    EXPECT_EQ(bad_definition("storage_emc", "ye"), fake.console);
    EXPECT_TRUE(warned);
    EXPECT_EQ("n", settings.value(kStorageEmc)) << "cleared, then completed as an empty switch";
}

TEST_F(SettingsReading, SeveralOverLongValuesAreReportedInTableOrder) {
    // Written in the file in the reverse of the table's order.
    fake.files[kSettingsFile] =
        "[ENVIRONMENT_SETTINGS]\r\nremove_lu_force=force\r\nlbex_usetimes_limit=1234567\r\n"
        "load_balance=none\r\n"
        "[INSTALLATION_SETTINGS]\r\nworkdir=C:\\work\r\nrestart=no\r\n"
        "[ZOVA]\r\nzovaversion=12345678901\r\nfileversion=0201\r\n";
    bool warned = false;
    EXPECT_EQ(Status::Ok, load_settings(fake, out, kSettingsFile, &settings, &warned));
    EXPECT_EQ(bad_definition("zovaversion", "12345678901") + bad_definition("restart", "no") +
                  bad_definition("load_balance", "none") +
                  bad_definition("lbex_usetimes_limit", "1234567") +
                  bad_definition("remove_lu_force", "forc"),
              fake.console);
    EXPECT_TRUE(warned);
    EXPECT_EQ("", settings.value(kZovaVersion));
    EXPECT_EQ("", settings.value(kLoadBalance));
    EXPECT_EQ("", settings.value(kLbexUsetimesLimit));
    EXPECT_EQ("", settings.value(kRemoveLuForce));
}

TEST_F(SettingsReading, OverLongFileVersionDrawsABadDefinitionThenAnUnsupportedVersion) {
    fake.files[kSettingsFile] =
        "[ZOVA]\r\nfileversion=02010\r\nzovaversion=6.1\r\n"
        "[INSTALLATION_SETTINGS]\r\nworkdir=C:\\work\r\n";
    bool warned = false;
    EXPECT_EQ(Status::Ok, load_settings(fake, out, kSettingsFile, &settings, &warned));
    EXPECT_EQ(bad_definition("fileversion", "02010") + unsupported_version("6.1"), fake.console);
    EXPECT_EQ("0201", settings.value(kFileVersion));
}

std::vector<std::string> traced_run(FakeSystem& fake, const std::string& file_text, bool check,
                                    Output& out, Settings& settings) {
    fake.files[kSettingsFile] = file_text;
    bool warned = false;
    EXPECT_EQ(Status::Ok, load_settings(fake, out, kSettingsFile, &settings, &warned));
    EXPECT_EQ(Status::Ok, open_run_log(out, kLog, check, warned));
    trace_settings(fake, out, settings, check);
    std::vector<std::string> texts = log_texts(fake);
    EXPECT_FALSE(texts.empty());
    if (!texts.empty()) {
        texts.erase(texts.begin());  // the start line
    }
    return texts;
}

TEST_F(SettingsReading, TraceShowsFullPathCheckSwitchAndRawTextOfEveryKey) {
    for (bool check : {false, true}) {
        FakeSystem fake;
        stage_good_system(fake);
        Output out(fake);
        Settings settings;
        std::vector<std::string> texts =
            traced_run(fake,
                       std::string(kCleanFile) +
                           "storage_emc=yes\r\n[ENVIRONMENT_SETTINGS]\r\n"
                           "load_balance=rr1\r\nremove_lu_force=On\r\n",
                       check, out, settings);
        ASSERT_EQ(static_cast<size_t>(28 + check), texts.size()) << check;
        EXPECT_EQ(maintenance("00100620", "-f=C:\\s.ini"), texts[0]);
        if (check) {
            EXPECT_EQ(maintenance("00100622", "-c"), texts[1]);
        }
        const std::vector<std::string> keys = {
            "fileversion=0201",
            "zovaversion=6.1.0",
            "installfile_location=",
            "workdir=C:\\work",
            "installdir=",
            "storage_emc=ye",
            "storage_eva=",
            "zova_core=",
            "restart=",
            "load_balance=rr1",
            "load_balance_type=",
            "error_log_level=",
            "error_log_size=",
            "error_log_number=",
            "trace_level=",
            "trace_file_size=",
            "trace_file_number=",
            "path_health_check=",
            "path_health_check_interval=",
            "auto_failback=",
            "auto_failback_interval=",
            "intermittent_error_monitor=",
            "intermittent_error_monitor_interval=",
            "intermittent_error_monitor_number=",
            "lbex_usetimes_limit=",
            "remove_lu=",
            "remove_lu_force=On",
        };
        for (size_t i = 0; i < keys.size(); ++i) {
            EXPECT_EQ(maintenance("00100635", keys[i]), texts[1 + check + i]);
        }
        EXPECT_EQ(std::string::npos, fake.console.find("QIRU09179")) << "never on the console";
        // The table keeps the validated values.
        EXPECT_EQ("n", settings.value(kStorageEmc));
        EXPECT_EQ("", settings.value(kLoadBalance));
    }
}

TEST_F(SettingsReading, TraceRereadsTheFileAndSetsReturnedLength) {
    fake.files[kSettingsFile] =
        std::string(kCleanFile) + "[ENVIRONMENT_SETTINGS]\r\nerror_log_size=500\r\n";
    bool warned = false;
    ASSERT_EQ(Status::Ok, load_settings(fake, out, kSettingsFile, &settings, &warned));
    EXPECT_EQ(3u, settings.table[kErrorLogSize].returned_length);
    fake.files[kSettingsFile] =
        std::string(kCleanFile) + "[ENVIRONMENT_SETTINGS]\r\nerror_log_size=123456789\r\n";
    ASSERT_EQ(Status::Ok, open_run_log(out, kLog, false, warned));
    trace_settings(fake, out, settings, false);
    std::vector<std::string> texts = log_texts(fake);
    ASSERT_EQ(29u, texts.size());
    EXPECT_EQ(maintenance("00100635", "error_log_size=12345678"), texts[1 + 1 + kErrorLogSize]);
    EXPECT_EQ(8u, settings.table[kErrorLogSize].returned_length);
    EXPECT_EQ("500", settings.value(kErrorLogSize)) << "the table is not changed by the trace";
}

TEST_F(SettingsReading, TraceOfLongFullPathIsCutTo255Bytes) {
    std::string name = "C:\\" + std::string(253, 'p') + ".ini";
    ASSERT_EQ(260u, name.size());
    fake.files[name] = kCleanFile;
    bool warned = false;
    ASSERT_EQ(Status::Ok, load_settings(fake, out, name, &settings, &warned));
    ASSERT_EQ(Status::Ok, open_run_log(out, kLog, false, warned));
    trace_settings(fake, out, settings, false);
    std::vector<std::string> texts = log_texts(fake);
    ASSERT_LE(2u, texts.size());
    EXPECT_EQ(maintenance("00100620", "-f=" + name).substr(0, 255), texts[1]);
}

TEST_F(SettingsReading, TraceBeforeTheRunLogIsOpenWritesNothing) {
    fake.files[kSettingsFile] = kCleanFile;
    bool warned = false;
    ASSERT_EQ(Status::Ok, load_settings(fake, out, kSettingsFile, &settings, &warned));
    size_t files_before = fake.files.size();
    trace_settings(fake, out, settings, true);
    EXPECT_EQ(files_before, fake.files.size());
    EXPECT_EQ("", fake.console);
}

}  // namespace
}  // namespace iz
