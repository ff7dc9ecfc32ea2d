// The command line, the language of the messages and the administrator
// check, through the real binary.
#include <gtest/gtest.h>
#include <unistd.h>

#include "e2e/harness.h"

namespace e2e {
namespace {

const char kUsage[] = "Usage: installzova {-f installation-information-settings-file [-c] | -h}\n";

TEST(Cli, EveryShapeOfCommandLineGivesItsMessageAndExitCode) {
    struct Case {
        std::vector<std::string> args;
        std::string out;
        int exit_code;
    } cases[] = {
        {{}, "QIRU09187-W No parameter is specified.\n", 1},
        {{"-h"}, kUsage, 0},
        {{"-H"}, kUsage, 0},
        {{"-h", "x"}, "QIRU09189-W The parameter contains an incorrect value. (Value = -h)\n", 1},
        {{"/h"}, "QIRU09189-W The parameter contains an incorrect value. (Value = /h)\n", 1},
        {{"-f"}, "QIRU09190-W The installation information settings file is not specified.\n", 1},
        {{"-F"}, "QIRU09190-W The installation information settings file is not specified.\n", 1},
        {{"-f", "a", "b"}, "QIRU09188-W Too many parameters are specified.\n", 1},
        {{"-f", "a", "-c", "d", "e"}, "QIRU09188-W Too many parameters are specified.\n", 1},
        {{"-x", "y", "z", "w"}, "QIRU09188-W Too many parameters are specified.\n", 1},
    };
    for (const Case& c : cases) {
        RunResult r = run(target().program, c.args);
        EXPECT_EQ(c.exit_code, r.exit_code) << c.out;
        EXPECT_EQ(c.out, r.out);
    }
}

TEST(Cli, UpperCaseModeSwitchesAreAccepted) {
    Sandbox box;
    box.write("s.ini",
              "[ZOVA]\nfileversion=0201\n[ENVIRONMENT_SETTINGS]\nerror_log_level=3\n"
              "[INSTALLATION_SETTINGS]\nworkdir=" +
                  box.at() + "\ninstalldir=" + box.at("zova") + "\n");
    RunResult r = run(target().program, {"-F", box.at("s.ini"), "-T"});
    EXPECT_EQ(0, r.exit_code) << r.out;
    EXPECT_EQ("zovactl set -ellv 3 -s\r\n", box.read("setoptions.bat"));
}

TEST(Cli, JapaneseUserGetsCodePage932Messages) {
    RunOptions japanese;
    // Wine needs a locale it has; a native console whose locale names no
    // other character set gets the bytes unchanged.
    japanese.env["LANG"] = target().windows ? "ja_JP.UTF-8" : "ja_JP.SJIS";
    struct Case {
        std::vector<std::string> args;
        std::string utf8;
    } cases[] = {
        {{}, "QIRU09187-W パラメタが指定されていません。\n"},
        {{"-f"}, "QIRU09190-W インストール情報設定ファイルが指定されていません。\n"},
        {{"-q"}, "QIRU09189-W パラメタの値が誤っています。値 = -q\n"},
        {{"-f", "a", "b"}, "QIRU09188-W パラメタが多過ぎます。\n"},
        {{"-h"}, kUsage},
    };
    for (const Case& c : cases) {
        RunResult r = run(target().program, c.args, japanese);
        EXPECT_EQ(c.utf8, cp932_to_utf8(r.out));
    }
    // "システム" in code page 932, straight from the program.
    RunResult none = run(target().program, {"-f"}, japanese);
    EXPECT_EQ(std::string("QIRU09190-W \x83\x43\x83\x93\x83\x58\x83\x67"), none.out.substr(0, 20));
}

TEST(Cli, OtherLanguagesGetEnglish) {
    for (const char* lang : {"de_DE.UTF-8", "en_US.UTF-8", "C"}) {
        RunOptions options;
        options.env["LANG"] = lang;
        EXPECT_EQ("QIRU09187-W No parameter is specified.\n",
                  run(target().program, {}, options).out)
            << lang;
    }
}

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
