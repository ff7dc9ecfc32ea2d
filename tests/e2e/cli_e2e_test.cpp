// The command line and the language of the messages, through the real binary.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace e2e
