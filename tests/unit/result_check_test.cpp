// The installer's result check and the clean-up of the work files.
#include "installer/result_check.h"

#include <gtest/gtest.h>

#include "messages/output.h"
#include "support/work_folder.h"

namespace iz {
namespace {

TEST_F(WorkFolder, ResultCodeZeroAfterCompletionRemovesTheWorkFilesOnce) {
    sys.files[kLog] = "log\r\n";
    result_code("ResultCode=0");
    EXPECT_EQ(Status::Ok, check_setup_result(sys, out, paths, &outcome, true));
    EXPECT_EQ(1u, sys.files.size());
    EXPECT_EQ("log\r\n", sys.files[kLog]);
    EXPECT_TRUE(outcome.work_files_removed.load());
    // setup.log is gone: silence
    EXPECT_EQ(Status::Ok, check_setup_result(sys, out, paths, &outcome, true));
    EXPECT_EQ("", sys.console);
}

TEST_F(WorkFolder, ResultCodeZeroWithoutCompletionKeepsTheFiles) {
    result_code("ResultCode=0");
    EXPECT_EQ(Status::Ok, check_setup_result(sys, out, paths, &outcome, false));
    EXPECT_EQ(3u, sys.files.size());
    EXPECT_EQ("", sys.console);
}

TEST_F(WorkFolder, AnythingButAOneCharacterZeroIsReported) {
    struct Case {
        const char* line;
        const char* shown;
        const char* trace;
    } cases[] = {
        {"ResultCode=-3", "Error Code = -3, 101245", "ResultCode=-3(2)"},
        {"ResultCode=00", "Error Code = 0, 101245", "ResultCode=00(2)"},
        {"ResultCode=1", "Error Code = 1, 101245", "ResultCode=1(1)"},
        {"ResultCode=x", "Error Code = 0, 101245", "ResultCode=x(1)"},
        {"ResultCode= 12abc", "Error Code = 12, 101245", "ResultCode=12abc(5)"},
        {"ResultCode=+7", "Error Code = 7, 101245", "ResultCode=+7(2)"},
        {"ResultCode=99999999999", "Error Code = 2147483647, 101245", "ResultCode=99999999999(11)"},
        {"ResultCode=", "Error Code = 0, 101245", "ResultCode=(0)"},
        {"Other=0", "Error Code = 0, 101245", "ResultCode=(0)"},
    };
    for (const Case& c : cases) {
        SetUp();
        sys.console.clear();
        open_run_log(out, kLog, true, false);
        result_code(c.line);
        EXPECT_EQ(Status::InstallerFailed, check_setup_result(sys, out, paths, &outcome, true))
            << c.line;
        EXPECT_EQ(std::string("QIRU09216-E An error occurred during I/O of a file that installzova "
                              "uses. ") +
                      c.shown + "\n",
                  sys.console);
        EXPECT_NE(std::string::npos, sys.files[kLog].find(std::string("00101219 ") + c.trace))
            << c.line;
        EXPECT_EQ(1u, sys.files.count(kIss));
    }
}

TEST(ResultCode, DecimalReadingOfTheValue) {
    EXPECT_EQ(-3, result_code_number("-3"));
    EXPECT_EQ(0, result_code_number("abc"));
    EXPECT_EQ(42, result_code_number("\t 42x"));
    EXPECT_EQ(-2147483647 - 1, result_code_number("-99999999999999999999"));
    EXPECT_EQ(0, result_code_number("- 3"));
}

}  // namespace
}  // namespace iz
