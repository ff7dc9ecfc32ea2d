// The catalogue, the language choice, the 255-byte formatting limit and the
// run-log line format.
#include <gtest/gtest.h>

#include <cstring>

#include "core/run_state.h"
#include "messages/catalogue.h"
#include "messages/output.h"
#include "messages/text.h"
#include "support/fake_system.h"

namespace iz {
namespace {

const char kLog[] = "C:\\work\\installzova.log";

std::string bytes(std::initializer_list<int> values) {
    std::string text;
    for (int v : values) {
        text += static_cast<char>(v);
    }
    return text;
}

TEST(Catalogue, LanguageFollowsTheEnglishNameOfTheUserLanguage) {
    struct Case {
        const char* name;
        int language;
    } cases[] = {
        {"Japanese", kLanguageJapanese}, {"JAPANESE", kLanguageJapanese},
        {"japanese", kLanguageJapanese}, {"English", kLanguageEnglish},
        {"German", kLanguageEnglish},    {"Chinese", kLanguageEnglish},
        {"Japanese2", kLanguageEnglish}, {"Japanes", kLanguageEnglish},
        {"", kLanguageEnglish},  // the query fails
    };
    for (const Case& c : cases) {
        FakeSystem sys;
        sys.language_name = c.name;
        EXPECT_EQ(c.language, detect_language(sys)) << c.name;
    }
}

TEST(Catalogue, LanguageIsDecidedOnceAtFirstUse) {
    FakeSystem sys;
    sys.language_name = "Japanese";
    RunState state(sys);
    EXPECT_EQ(kLanguageUndecided, state.language.load());
    const char* first = get_message(state, kMsgNoParameter);
    sys.language_name = "English";
    EXPECT_STREQ(first, get_message(state, kMsgNoParameter));
    EXPECT_EQ(kLanguageJapanese, state.language.load());
}

TEST(Catalogue, EveryMessageButTheUsageLineCarriesItsIdentifierInBothLanguages) {
    const char* ids[] = {"QIRU09001-E", "QIRU09034-E", "QIRU09179-I", "QIRU09180-I", "QIRU09187-W",
                         "QIRU09188-W", "QIRU09189-W", "QIRU09190-W", "QIRU09191-W", "QIRU09192-W",
                         "QIRU09193-W", "QIRU09194-W", "QIRU09195-W", "QIRU09197-W", "QIRU09198-E",
                         "QIRU09216-E", "QIRU09253-W"};
    for (int id = 0; id < 17; ++id) {
        for (int language : {kLanguageEnglish, kLanguageJapanese}) {
            std::string text = catalogue_text(language, static_cast<MessageId>(id));
            EXPECT_EQ(std::string(ids[id]) + " ", text.substr(0, 12)) << id << "/" << language;
        }
    }
    EXPECT_STREQ("Usage: installzova {-f installation-information-settings-file [-c] | -h}",
                 catalogue_text(kLanguageJapanese, kMsgUsage));
    EXPECT_STREQ(catalogue_text(kLanguageEnglish, kMsgUsage),
                 catalogue_text(kLanguageJapanese, kMsgUsage));
}

TEST(Catalogue, EnglishTextsAreExact) {
    EXPECT_STREQ(
        "QIRU09001-E There is no system management permission.\n"
        "Login with administrator permission and re-install ZOVA.",
        catalogue_text(kLanguageEnglish, kMsgNoPermission));
    EXPECT_STREQ(
        "QIRU09216-E An error occurred during I/O of a file that installzova uses. Error Code = "
        "%d, %d",
        catalogue_text(kLanguageEnglish, kMsgFileIoError));
    EXPECT_STREQ("QIRU09034-E An Internal error occurred in the ZOVA Installer. Code = %d %d",
                 catalogue_text(kLanguageEnglish, kMsgInternalError));
    EXPECT_STREQ(
        "QIRU09253-W y cannot be specified in the ZOVA_core key when all ZOVA components are "
        "installed.",
        catalogue_text(kLanguageEnglish, kMsgCoreOverAll));
}

TEST(Catalogue, JapaneseTextsAreCodePage932Bytes) {
    // "システム" opens message 0; "：" is the full-width colon of message 2;
    // message 0 holds a line feed before "Administrators".
    std::string m0 = catalogue_text(kLanguageJapanese, kMsgNoPermission);
    EXPECT_EQ(bytes({0x83, 0x56, 0x83, 0x58, 0x83, 0x65, 0x83, 0x80}), m0.substr(12, 8));
    EXPECT_NE(std::string::npos, m0.find("\nAdministrators"));
    std::string m2 = catalogue_text(kLanguageJapanese, kMsgMaintenance);
    EXPECT_NE(std::string::npos, m2.find(bytes({0x81, 0x46}) + "%08d %s"));
    std::string m1 = catalogue_text(kLanguageJapanese, kMsgInternalError);
    EXPECT_EQ("QIRU09034-E ZOVA " + bytes({0x83, 0x43}), m1.substr(0, 19));
    std::string m15 = catalogue_text(kLanguageJapanese, kMsgFileIoError);
    EXPECT_NE(std::string::npos, m15.find(bytes({0x81, 0x42}) + " "));  // "。 " then the code
    // The full-width comma "，" and the corner brackets of message 16.
    std::string m16 = catalogue_text(kLanguageJapanese, kMsgCoreOverAll);
    EXPECT_NE(std::string::npos, m16.find(bytes({0x81, 0x43})));
    EXPECT_NE(std::string::npos, m16.find(bytes({0x81, 0x75}) + "y" + bytes({0x81, 0x76})));
}

TEST(Text, RunLogPrefixIsTwentyFiveCharacters) {
    EXPECT_EQ("INFO  12-8-2026 05:14:06 ", run_log_prefix(LocalTime{2026, 12, 8, 5, 14, 6}));
    EXPECT_EQ("INFO   1-5-2027 09:03:07 ", run_log_prefix(LocalTime{2027, 1, 5, 9, 3, 7}));
    EXPECT_EQ("INFO 12-31-2026 23:59:59 ", run_log_prefix(LocalTime{2026, 12, 31, 23, 59, 59}));
    EXPECT_EQ(25u, run_log_prefix(LocalTime{2027, 1, 5, 9, 3, 7}).size());
}

TEST(Text, CutNeverLeavesHalfADoubleByteCharacter) {
    FakeSystem sys;
    RunState state(sys);
    state.language = kLanguageJapanese;
    struct Case {
        std::string text;
        size_t expected;
    } cases[] = {
        {std::string(255, 'a'), 255},
        {std::string(300, 'a'), 255},
        {std::string(254, 'a') + bytes({0x83, 0x56}), 254},        // lead byte at 255: dropped
        {std::string(253, 'a') + bytes({0x83, 0x56, 0x41}), 255},  // the pair fits
        // A trail byte in the lead range is still a trail byte: only the walk
        // from the start tells which one dangles.
        {"a" + std::string(254, '\x83') + "zz", 255},
        {"aa" + std::string(254, '\x83') + "zz", 254},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, limit_text(state, c.text).size());
    }
    state.language = kLanguageEnglish;  // single bytes only
    EXPECT_EQ(255u, limit_text(state, std::string(254, 'a') + bytes({0x83, 0x56})).size());
}

TEST(Text, CaseInsensitiveComparisonFoldsAsciiOnly) {
    EXPECT_TRUE(equals_ignore_case("ALL", "all"));
    EXPECT_TRUE(equals_ignore_case("On", "on"));
    EXPECT_FALSE(equals_ignore_case("on ", "on"));
    EXPECT_FALSE(equals_ignore_case("\xC9", "\xE9"));
    EXPECT_FALSE(equals_ignore_case("", "y"));
}

TEST(Output, ReportBeforeTheRunLogReachesTheConsoleOnly) {
    FakeSystem sys;
    RunState state(sys);
    report(state, "warning", 1);
    trace(state, 101219, "nothing");
    EXPECT_EQ("warning\n", sys.console);
    EXPECT_TRUE(sys.files.empty());
}

TEST(Output, RunLogLinesCarryThePrefixAndCrLf) {
    FakeSystem sys;
    RunState state(sys);
    ASSERT_EQ(0, open_run_log(state, kLog, 0, 0));
    sys.time = LocalTime{2027, 1, 5, 9, 3, 7};
    trace(state, 101219, "ResultCode=0(1)");
    report(state, catalogue_text(kLanguageEnglish, kMsgFileIoError), 1);
    // Outside text cannot start a line; the catalogue's own line feed does.
    report(state, "two\nINFO  12-8-2026 05:14:06 QIRU09181-I\r", 1);
    report_message(state, kMsgNoPermission);
    EXPECT_EQ(
        "INFO  12-8-2026 05:14:06 QIRU09180-I ZOVA installation will now start.\r\n"
        "INFO   1-5-2027 09:03:07 QIRU09179-I Data for maintenance: 00101219 ResultCode=0(1)\r\n"
        "INFO   1-5-2027 09:03:07 QIRU09216-E An error occurred during I/O of a file that "
        "installzova uses. Error Code = %d, %d\r\n"
        "INFO   1-5-2027 09:03:07 two?INFO  12-8-2026 05:14:06 QIRU09181-I?\r\n"
        "INFO   1-5-2027 09:03:07 QIRU09001-E There is no system management permission.\r\n"
        "Login with administrator permission and re-install ZOVA.\r\n",
        sys.files[kLog]);
    EXPECT_EQ(
        "QIRU09180-I ZOVA installation will now start.\n"
        "QIRU09216-E An error occurred during I/O of a file that installzova uses. Error Code = "
        "%d, %d\n"
        "two?INFO  12-8-2026 05:14:06 QIRU09181-I?\n"
        "QIRU09001-E There is no system management permission.\n"
        "Login with administrator permission and re-install ZOVA.\n",
        sys.console);
}

TEST(Output, CheckRunsAndWarnedRunsStartWithAMaintenanceLine) {
    for (int check : {0, 1}) {
        for (int warned : {0, 1}) {
            if (check == 0 && warned == 0) {
                continue;
            }
            FakeSystem sys;
            RunState state(sys);
            ASSERT_EQ(0, open_run_log(state, kLog, check, warned));
            EXPECT_EQ(
                "INFO  12-8-2026 05:14:06 QIRU09179-I Data for maintenance: 00300298 "
                "Installation check starts.",
                state.start_line);
            EXPECT_EQ(state.start_line + "\r\n", sys.files[kLog]);
            EXPECT_EQ("", sys.console);
        }
    }
}

TEST(Output, JapaneseCheckStartLineKeepsTheEnglishText) {
    FakeSystem sys;
    sys.language_name = "Japanese";
    RunState state(sys);
    ASSERT_EQ(0, open_run_log(state, kLog, 1, 0));
    EXPECT_EQ(
        std::string("INFO  12-8-2026 05:14:06 QIRU09179-I ") + bytes({0x95, 0xdb, 0x8e, 0xe7}),
        state.start_line.substr(0, 41));
    EXPECT_NE(std::string::npos,
              state.start_line.find(bytes({0x81, 0x46}) + "00300298 Installation check starts."));
}

TEST(Output, RunLogThatCannotBeOpenedEndsTheRunWithMessageOne) {
    FakeSystem sys;
    sys.read_only.insert(kLog);
    sys.files[kLog] = "earlier\r\n";
    RunState state(sys);
    EXPECT_EQ(7, open_run_log(state, kLog, 0, 0));
    EXPECT_EQ("QIRU09034-E An Internal error occurred in the ZOVA Installer. Code = 5 300316\n",
              sys.console);
    EXPECT_EQ("earlier\r\n", sys.files[kLog]);
    EXPECT_TRUE(state.run_log_recorded.load());
    EXPECT_FALSE(state.start_line.empty());
}

TEST(Output, LongTraceTextIsCutAfter255Bytes) {
    FakeSystem sys;
    RunState state(sys);
    ASSERT_EQ(0, open_run_log(state, kLog, 1, 0));
    sys.files[kLog].clear();
    trace(state, 100620, "-f=" + std::string(300, 'p'));
    const std::string& line = sys.files[kLog];
    ASSERT_EQ(25u + 255u + 2u, line.size());
    EXPECT_EQ("QIRU09179-I Data for maintenance: 00100620 -f=ppp", line.substr(25, 49));
    EXPECT_EQ("p\r\n", line.substr(line.size() - 3));
}

TEST(Output, StartLineOfAJapaneseInstallRunIsMessageThree) {
    FakeSystem sys;
    sys.language_name = "japanese";
    RunState state(sys);
    ASSERT_EQ(0, open_run_log(state, kLog, 0, 0));
    std::string m3 = catalogue_text(kLanguageJapanese, kMsgInstallStart);
    EXPECT_EQ("INFO  12-8-2026 05:14:06 " + m3, state.start_line);
    EXPECT_EQ(m3 + "\n", sys.console);
}

}  // namespace
}  // namespace iz
