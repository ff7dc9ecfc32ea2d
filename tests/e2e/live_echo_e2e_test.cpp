// The installer's lines on the console while it runs.
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

}  // namespace
}  // namespace e2e
