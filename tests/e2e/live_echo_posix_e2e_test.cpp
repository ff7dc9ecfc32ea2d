// The console's character set on Linux while the installer's lines are shown.
#include "e2e/install_fixture.h"

namespace e2e {
namespace {

class LiveEchoNative : public InstallRun {};

// "完了" in code page 932, as the installer writes it into the run log.
const char kDoneCp932[] = "\x8A\xAE\x97\xB9";

TEST_F(LiveEchoNative, JapaneseConsoleTakesTheLocalesCharacterSet) {
    write_settings();
    options.env["TEST_INSTALLER_LINES"] = std::string("QIRU09234-I ") + kDoneCp932;
    const std::string shown =
        "QIRU09180-I ZOVAのインストールを開始します。\n"
        "QIRU09230-I Installing ZOVA (All) into " +
        box.at("zova") + ".\nQIRU09234-I 完了\nQIRU09181-I ZOVA installation completed.\n";
    struct Case {
        const char* lang;
        bool utf8;
    } cases[] = {{"ja_JP.UTF-8", true}, {"ja_JP.SJIS", false}, {"ja", false}};
    for (const Case& c : cases) {
        options.env["LANG"] = c.lang;
        RunResult r = install();
        EXPECT_EQ(0, r.exit_code) << c.lang;
        EXPECT_EQ(shown, c.utf8 ? r.out : cp932_to_utf8(r.out)) << c.lang;
    }
    // The run log is code page 932 whatever the console gets.
    std::string log = cp932_to_utf8(box.read("work/installzova.log"));
    size_t runs = 0;
    for (size_t at = 0; (at = log.find(" QIRU09180-I ZOVAのインストールを開始します。\r\n", at)) !=
                        std::string::npos;
         ++at) {
        ++runs;
    }
    EXPECT_EQ(3u, runs);
    EXPECT_NE(std::string::npos, box.read("work/installzova.log").find(kDoneCp932));
}

// Text the user wrote in the console's own set is shown as written; the
// catalogue's Japanese is converted; iconv's options in the locale and a
// set it does not know neither crash the run nor garble it.
TEST_F(LiveEchoNative, ConsoleShowsWhatTheUserWroteAndOnlyConvertsCodePage932) {
    struct Case {
        const char* lang;
        const char* folder;
        std::string line;   // the installer's own line
        const char* shown;  // part of the console output, UTF-8
        bool cp932_out;     // the output is code page 932 bytes as they are
    } cases[] = {
        {"en_US.UTF-8", "caf\xC3\xA9", "Copying.", "QIRU09234-I Copying.\n", false},
        {"ja_JP.UTF-8", "\xE6\x97\xA5\xE6\x9C\xAC", kDoneCp932, "QIRU09234-I 完了\n", false},
        {"ja_JP.ASCII//IGNORE", "zova", "Copying.", "QIRU09234-I Copying.\n", false},
        {"en_US.ISO-8859-1//IGNORE", "zova", kDoneCp932, "QIRU09234-I ??\n", false},
        {"ja_JP.\xC3\xA9", "zova", kDoneCp932, "QIRU09180-I ZOVAのインストールを開始します。\n",
         true},
    };
    for (const Case& c : cases) {
        write_settings();
        std::string settings = box.read("install.ini");
        settings.replace(settings.find(box.at("zova")), box.at("zova").size(), box.at(c.folder));
        box.write("install.ini", settings);
        options.env["LANG"] = c.lang;
        options.env["TEST_INSTALLER_LINES"] = "QIRU09234-I " + c.line;
        RunResult r = install();
        std::string out = c.cp932_out ? cp932_to_utf8(r.out) : r.out;
        EXPECT_EQ(0, r.exit_code) << c.lang << "\n" << r.out;
        EXPECT_NE(std::string::npos, out.find(c.shown)) << c.lang << "\n" << out;
        EXPECT_NE(std::string::npos, out.find(" into " + box.at(c.folder) + ".\n"))
            << c.lang << "\n"
            << out;
    }
}

}  // namespace
}  // namespace e2e
