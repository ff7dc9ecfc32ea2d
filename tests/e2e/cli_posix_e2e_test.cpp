// The administrator check on POSIX, through the real binary.
#include <gtest/gtest.h>
#include <unistd.h>

#include "e2e/harness.h"

namespace e2e {
namespace {

// Wine gives every user an administrator's token, so this runs natively only;
// the token rules themselves are covered by the unit tests.
TEST(CliNative, OrdinaryUserIsRefusedWhateverTheCommandLine) {
    ASSERT_EQ(0u, geteuid()) << "the suite runs as root to start the program as another user";
    Sandbox box;
    box.make_media();  // a program that the ordinary user may run
    for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
             {}, {"-h"}, {"-f", "x.ini"}, {"-f", "x.ini", "-t"}}) {
        RunOptions nobody;
        nobody.as_nobody = true;
        RunResult r = run(box.program(), args, nobody);
        EXPECT_EQ(2, r.exit_code) << r.err;
        EXPECT_EQ(
            "QIRU09001-E There is no system management permission.\n"
            "Login with administrator permission and re-install ZOVA.\n",
            r.out);
    }
    RunOptions nobody;
    nobody.as_nobody = true;
    nobody.env["LANG"] = "ja";
    EXPECT_EQ(
        "QIRU09001-E システム管理権限がありません。\n"
        "Administratorsグループのユーザで再度インストールを実行してください。\n",
        cp932_to_utf8(run(box.program(), {"-h"}, nobody).out));
}

}  // namespace
}  // namespace e2e
