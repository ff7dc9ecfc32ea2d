// The machine as Windows has it, under Wine.
#include "e2e/machine_fixture.h"
#include "support/wine_loader.h"

namespace e2e {
namespace {

// Under Wine: the Windows Installer's mutex held by a helper program, and
// the lock's own place in the common application data folder.
class MachineWindows : public Machine {};

TEST_F(MachineWindows, WindowsInstallerBusyIsWaitedForThenRunOutAt1618) {
    write_settings();
    const char* helper = std::getenv("IZ_E2E_MSI_BUSY");
    ASSERT_NE(nullptr, helper);
    pid_t holder = start(helper, {box.at("ready"), box.at("free")}, options, box.path("msi.txt"));
    ASSERT_TRUE(wait_for_file(box.path("ready")));
    expect_refused_then_waited("Windows Installer", [this] { box.write("free", ""); });
    EXPECT_EQ(0, finish(holder, box.path("msi.txt")).exit_code);
}

// Wine's taskkill /F ends the run with TerminateProcess while its installer
// goes on. The suite runs alone, so no other run of the prefix is ended.
TEST_F(MachineWindows, TerminatedRunLeavesTheMachineBusyUntilItsInstallerEnds) {
    pid_t first = start_holder();
    RunResult killed = run(iz_test::wine_prefix() + "/drive_c/windows/system32/taskkill.exe",
                           {"/F", "/IM", "installzova.exe"}, options);
    EXPECT_EQ(0, killed.exit_code) << killed.out << killed.err;
    // Ended before it could show the installer's completion (Wine's taskkill
    // gives exit code 0).
    RunResult ended = finish(first, box.path("out1"));
    EXPECT_EQ(std::string::npos, ended.out.find("QIRU09181-I")) << ended.out;
    RunResult busy = run(box.program(), {"-f", second_settings("busy", "wait_seconds=0")}, options);
    EXPECT_EQ(busy_code(), busy.exit_code) << busy.out;
    box.write("go", "");
    RunResult after = run(box.program(), {"-f", second_settings("after", "")}, options);
    EXPECT_EQ(0, after.exit_code) << after.out;
}

TEST_F(MachineWindows, LockLivesInTheCommonApplicationDataFolder) {
    write_settings();
    options.unset.push_back("INSTALLZOVA_LOCK_FOLDER");
    RunResult r = install();
    EXPECT_EQ(0, r.exit_code) << r.out;
    std::string lock = iz_test::wine_prefix() + "/drive_c/ProgramData/installzova/installzova.lock";
    EXPECT_EQ(0, access(lock.c_str(), F_OK)) << lock;
}

}  // namespace
}  // namespace e2e
