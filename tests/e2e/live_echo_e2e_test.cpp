// The installer's lines on the console while it runs, and the console's
// character set on Linux.
#include "e2e/install_fixture.h"

namespace e2e {
namespace {

const char kStart[] = "QIRU09180-I ZOVA installation will now start.\n";

class LiveEcho : public InstallRun {
  protected:
    // Runs the installation with standard output in the sandbox, where the
    // installer can watch it.
    RunResult install_watched() {
        std::string out = box.path("console.txt");
        options.env["TEST_INSTALLER_WATCH"] = box.at("console.txt");
        return finish(start(box.program(), {"-f", box.at("install.ini")}, options, out), out);
    }
};

// The installer waits after each of its lines until the program has printed
// it, and says so in its next line when it waited in vain; so the output is
// today's whole output only when every line appeared while it ran.
TEST_F(LiveEcho, LinesAppearWhileTheInstallerRuns) {
    write_settings();
    options.env["TEST_INSTALLER_LINES"] =
        "QIRU09234-I Copying the drivers.\nQIRU09235-I Registering the service.";
    RunResult r = install_watched();
    EXPECT_EQ(0, r.exit_code) << r.out;
    EXPECT_EQ(std::string(kStart) + "QIRU09230-I Installing ZOVA (All) into " + box.at("zova") +
                  ".\nQIRU09234-I Copying the drivers.\nQIRU09235-I Registering the service.\n"
                  "QIRU09181-I ZOVA installation completed.\n",
              r.out);
}

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

}  // namespace
}  // namespace e2e
