// The console control handler's three cases.
#include "main/console_control.h"

#include <gtest/gtest.h>

#include <memory>

#include "installer/installer_watch.h"
#include "installer/result_check.h"
#include "main/run_state.h"
#include "messages/output.h"
#include "support/work_folder.h"

namespace iz {
namespace {

// The handler of a run in the work folder, its run log open.
class Handler : public WorkFolder {
  protected:
    void SetUp() override {
        WorkFolder::SetUp();
        start_run();
    }
    // A fresh run, with nothing replayed yet.
    void start_run() {
        run = std::make_unique<RunState>(sys);
        run->paths = paths;
        register_console_control(*run);
        ASSERT_NE(nullptr, sys.handler);
        open_run_log(run->out, kLog, false, false);
        sys.console.clear();
    }
    std::unique_ptr<RunState> run;
};

TEST_F(Handler, CloseIsAbsorbedSilently) {
    EXPECT_TRUE(sys.fire(ConsoleEvent::Close));
    EXPECT_EQ("", sys.console);
    EXPECT_TRUE(sys.sleeps.empty());
    EXPECT_NE(std::string::npos, sys.files[kLog].find("00101272 dwCtrlType=2.\r\n"));
}

TEST_F(Handler, InterruptsTellTheUserTheInstallationGoesOn) {
    for (ConsoleEvent event : {ConsoleEvent::CtrlC, ConsoleEvent::CtrlBreak, ConsoleEvent::Logoff,
                               ConsoleEvent::Shutdown}) {
        sys.console.clear();
        sys.sleeps.clear();
        EXPECT_FALSE(sys.fire(event));
        EXPECT_EQ(
            "QIRU09197-W The user terminated installzova.exe, but ZOVA installation will "
            "continue.\n",
            sys.console);
        EXPECT_EQ(std::vector<unsigned>{5000}, sys.sleeps);
    }
    EXPECT_NE(std::string::npos, sys.files[kLog].find("00101272 dwCtrlType=6.\r\n"));
}

TEST_F(Handler, ShutdownAfterACompletedRebootInstallationFinishesTheRun) {
    run->settings.reboot_requested = true;
    sys.files[kLog] += "INFO  12-8-2026 05:14:07 QIRU09181-I Completed.\r\n";
    result_code("ResultCode=0");
    EXPECT_FALSE(sys.fire(ConsoleEvent::Shutdown));
    EXPECT_EQ("QIRU09181-I Completed.\n", sys.console);
    EXPECT_EQ(0u, sys.files.count(kIss) + sys.files.count(kSetupLog) + sys.files.count(kBat));
    EXPECT_EQ(std::vector<unsigned>{5000}, sys.sleeps);
    // The main thread's own replay and check afterwards stay silent.
    bool completed = false;
    sys.console.clear();
    run->watch.replay_installer_log(&completed);
    EXPECT_TRUE(completed);
    EXPECT_EQ(Status::Ok,
              check_setup_result(sys, run->out, run->paths, &run->installer, completed));
    EXPECT_EQ("", sys.console);
}

TEST_F(Handler, ShutdownBeforeCompletionOrWithoutRebootRequestIsAnInterruption) {
    for (bool reboot : {false, true}) {
        start_run();
        run->settings.reboot_requested = reboot;
        result_code("ResultCode=0");
        EXPECT_FALSE(sys.fire(ConsoleEvent::Logoff));
        EXPECT_NE(std::string::npos, sys.console.find("QIRU09197-W")) << reboot;
        EXPECT_EQ(1u, sys.files.count(kIss));
    }
}

}  // namespace
}  // namespace iz
