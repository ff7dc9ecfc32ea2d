// An existing installation in the registry, which decides whether only the
// core components may be installed.
#include "e2e/install_fixture.h"

namespace e2e {
namespace {

const char kProductKey[] = "HKLM\\SOFTWARE\\KESTRON\\PathSentryMultiway";

// Sets the installed option the platform's way and removes it afterwards.
class InstalledOption {
  public:
    InstalledOption(const Sandbox& box, const std::string& value) {
        if (target().windows) {
            wine_reg_add(kProductKey, "InstallationOption", value);
        } else {
            box.write("registry/SOFTWARE/KESTRON/PathSentryMultiway/InstallationOption",
                      value + "\n");
        }
    }
    ~InstalledOption() {
        if (target().windows) {
            wine_reg_delete(kProductKey);
        }
    }
};

// The product's key is one for the whole Wine prefix: e2e/CMakeLists.txt has
// these tests hold a lock so that they never run side by side.
using InstalledProductRegistry = InstallRun;

TEST_F(InstalledProductRegistry, CoreOnlyOverAFullInstallationIsRefused) {
    InstalledOption installed(box, "all");
    write_settings("zova_core=y\r\n");
    RunResult r = install({"-c"});
    EXPECT_EQ(0, r.exit_code) << r.out;
    EXPECT_EQ(0u, r.out.find("QIRU09253-W y cannot be specified in the ZOVA_core key when all ZOVA "
                             "components are installed.\n"));
    EXPECT_EQ("All", response_value(box.read("work/setup.iss"), "szEdit3"));
    EXPECT_EQ(expected_command_line("-silentcheck -checkerror "), received());
}

TEST_F(InstalledProductRegistry, CoreOnlyOverACoreInstallationIsAccepted) {
    InstalledOption installed(box, "Core");
    write_settings("zova_core=Y\r\n");
    RunResult r = install({"-c"});
    EXPECT_EQ(0, r.exit_code) << r.out;
    EXPECT_EQ(std::string::npos, r.out.find("QIRU09253-W"));
    EXPECT_EQ("Core", response_value(box.read("work/setup.iss"), "szEdit3"));
}

}  // namespace
}  // namespace e2e
