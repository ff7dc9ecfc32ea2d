// Where messages and traces go: the console and the run log, and the
// run-log line format.
#include "messages/output.h"

#include <gtest/gtest.h>

#include <cstring>

#include "messages/catalogue.h"
#include "messages/text.h"
#include "support/fake_system.h"
#include "support/test_helpers.h"

namespace iz {
namespace {

TEST(Text, RunLogPrefixIsTwentyFiveCharacters) {
    EXPECT_EQ("INFO  12-8-2026 05:14:06 ", run_log_prefix(LocalTime{2026, 12, 8, 5, 14, 6}));
    EXPECT_EQ("INFO   1-5-2027 09:03:07 ", run_log_prefix(LocalTime{2027, 1, 5, 9, 3, 7}));
    EXPECT_EQ("INFO 12-31-2026 23:59:59 ", run_log_prefix(LocalTime{2026, 12, 31, 23, 59, 59}));
    EXPECT_EQ(25u, run_log_prefix(LocalTime{2027, 1, 5, 9, 3, 7}).size());
}

// A run over the fake system. Tables whose cases each need a fresh system
// build their own in the loop.
class Reporting : public ::testing::Test {
  protected:
    FakeSystem sys;
    Output out{sys};
};

TEST_F(Reporting, ReportBeforeTheRunLogReachesTheConsoleOnly) {
    report(out, "warning", Sink::Console);
    trace(out, 101219, "nothing");
    EXPECT_EQ("warning\n", sys.console);
    EXPECT_TRUE(sys.files.empty());
}

TEST_F(Reporting, RunLogLinesCarryThePrefixAndCrLf) {
    ASSERT_EQ(Status::Ok, open_run_log(out, kLog, false, false));
    sys.time = LocalTime{2027, 1, 5, 9, 3, 7};
    trace(out, 101219, "ResultCode=0(1)");
    report(out, catalogue_text(Language::English, kMsgFileIoError), Sink::Console);
    // Outside text cannot start a line; the catalogue's own line feed does.
    report(out, "two\nINFO  12-8-2026 05:14:06 QIRU09181-I\r", Sink::Console);
    report_message(out, kMsgNoPermission);
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

TEST_F(Reporting, CheckRunsAndWarnedRunsStartWithAMaintenanceLine) {
    for (bool check : {false, true}) {
        for (bool warned : {false, true}) {
            if (!check && !warned) {
                continue;
            }
            FakeSystem sys;
            Output out(sys);
            ASSERT_EQ(Status::Ok, open_run_log(out, kLog, check, warned));
            EXPECT_EQ(
                "INFO  12-8-2026 05:14:06 QIRU09179-I Data for maintenance: 00300298 "
                "Installation check starts.",
                out.start_line());
            EXPECT_EQ(out.start_line() + "\r\n", sys.files[kLog]);
            EXPECT_EQ("", sys.console);
        }
    }
}

TEST_F(Reporting, JapaneseCheckStartLineKeepsTheEnglishText) {
    sys.language_name = "Japanese";
    ASSERT_EQ(Status::Ok, open_run_log(out, kLog, true, false));
    EXPECT_EQ(
        std::string("INFO  12-8-2026 05:14:06 QIRU09179-I ") + bytes({0x95, 0xdb, 0x8e, 0xe7}),
        out.start_line().substr(0, 41));
    EXPECT_NE(std::string::npos,
              out.start_line().find(bytes({0x81, 0x46}) + "00300298 Installation check starts."));
}

TEST_F(Reporting, RunLogThatCannotBeOpenedEndsTheRunWithAnInternalError) {
    sys.read_only.insert(kLog);
    sys.files[kLog] = "earlier\r\n";
    EXPECT_EQ(Status::RunLog, open_run_log(out, kLog, false, false));
    EXPECT_EQ(internal_error(5, 300316), sys.console);
    EXPECT_EQ("earlier\r\n", sys.files[kLog]);
    EXPECT_TRUE(out.run_log_recorded());
    EXPECT_FALSE(out.start_line().empty());
}

TEST_F(Reporting, LongTraceTextIsCutAfter255Bytes) {
    ASSERT_EQ(Status::Ok, open_run_log(out, kLog, true, false));
    sys.files[kLog].clear();
    trace(out, 100620, "-f=" + std::string(300, 'p'));
    const std::string& line = sys.files[kLog];
    ASSERT_EQ(25u + 255u + 2u, line.size());
    EXPECT_EQ("QIRU09179-I Data for maintenance: 00100620 -f=ppp", line.substr(25, 49));
    EXPECT_EQ("p\r\n", line.substr(line.size() - 3));
}

TEST_F(Reporting, StartLineOfAJapaneseInstallRunIsTheInstallStartMessage) {
    sys.language_name = "japanese";
    ASSERT_EQ(Status::Ok, open_run_log(out, kLog, false, false));
    std::string m3 = catalogue_text(Language::Japanese, kMsgInstallStart);
    EXPECT_EQ("INFO  12-8-2026 05:14:06 " + m3, out.start_line());
    EXPECT_EQ(m3 + "\n", sys.console);
}

}  // namespace
}  // namespace iz
