// The checks before the installer starts: the waits for the machine lock
// and for another installation (one limit, messages at once and once a
// minute, nothing written), and the pending-restart sources.
#include "installer/machine_checks.h"

#include <gtest/gtest.h>

#include "core/status.h"
#include "messages/output.h"
#include "support/fake_system.h"

namespace iz {
namespace {

std::vector<std::string> console_lines(const std::string& console) {
    std::vector<std::string> lines;
    size_t begin = 0;
    for (size_t end; (end = console.find('\n', begin)) != std::string::npos; begin = end + 1) {
        lines.push_back(console.substr(0, end).substr(begin));
    }
    return lines;
}

class MachineWait : public ::testing::Test {
  protected:
    void SetUp() override {
        sys.lock_holder = 77;
        sys.lock_error = 5;
    }
    FakeSystem sys;
    Output out{sys};
    int64_t wait_seconds = kDefaultWaitSeconds;
    MachineReport machine;
};

TEST_F(MachineWait, SaysSoAtOnceThenOnceAMinuteAndRunsOutAtTheLimit) {
    wait_seconds = 150;
    sys.lock_answers.assign(1000, MachineLock::Busy);
    EXPECT_EQ(Status::Busy, take_machine(sys, out, wait_seconds, &machine));
    EXPECT_EQ(std::vector<std::string>({
                  "QIRU09301-I Another installation is in progress (installzova PID 77). "
                  "installzova waits for it to end, for at most 150 seconds.",
                  "QIRU09302-I installzova has waited 60 seconds for another installation "
                  "(installzova PID 77).",
                  "QIRU09302-I installzova has waited 120 seconds for another installation "
                  "(installzova PID 77).",
                  "QIRU09303-E Another installation is still in progress (installzova PID 77) "
                  "after 150 seconds. Nothing was started. Retry later.",
              }),
              console_lines(sys.console));
    for (unsigned pause : sys.sleeps) {
        EXPECT_LE(pause, kWaitPollMs);
    }
    EXPECT_TRUE(sys.files.empty());
    EXPECT_EQ(150, machine.seconds_waited);
}

TEST_F(MachineWait, LimitZeroRunsOutAtOnceWithoutWaiting) {
    wait_seconds = 0;
    sys.lock_answers = {MachineLock::Busy};
    sys.lock_holder = 0;  // not known
    EXPECT_EQ(Status::Busy, take_machine(sys, out, wait_seconds, &machine));
    EXPECT_EQ(
        "QIRU09303-E Another installation is still in progress (installzova) after 0 "
        "seconds. Nothing was started. Retry later.\n",
        sys.console);
    EXPECT_TRUE(sys.sleeps.empty());
}

TEST_F(MachineWait, BothWaitsShareOneLimit) {
    wait_seconds = 150;
    sys.lock_answers.assign(200, MachineLock::Busy);  // 100 seconds
    sys.installations.assign(1000, "dpkg");
    EXPECT_EQ(Status::Ok, take_machine(sys, out, wait_seconds, &machine));
    EXPECT_EQ(100, machine.seconds_waited);
    sys.console.clear();
    EXPECT_EQ(Status::Busy, wait_for_other_installation(sys, out, wait_seconds, &machine));
    EXPECT_EQ(std::vector<std::string>({
                  "QIRU09301-I Another installation is in progress (dpkg). installzova waits for "
                  "it to end, for at most 150 seconds.",
                  "QIRU09303-E Another installation is still in progress (dpkg) after 150 "
                  "seconds. Nothing was started. Retry later.",
              }),
              console_lines(sys.console));
    EXPECT_EQ("dpkg", machine.waited_for);
}

TEST_F(MachineWait, FreeMachineCostsNoWaitAndNoWord) {
    EXPECT_EQ(Status::Ok, take_machine(sys, out, wait_seconds, &machine));
    EXPECT_EQ(Status::Ok, wait_for_other_installation(sys, out, wait_seconds, &machine));
    EXPECT_EQ("", sys.console);
    EXPECT_EQ(0, machine.seconds_waited);
    EXPECT_EQ("", machine.waited_for);
}

TEST_F(MachineWait, LockThatCannotBeHadIsAnInternalError) {
    sys.lock_answers = {MachineLock::Failed};
    EXPECT_EQ(Status::Setup, take_machine(sys, out, wait_seconds, &machine));
    EXPECT_EQ("QIRU09034-E An Internal error occurred in the ZOVA Installer. Code = 5 101205\n",
              sys.console);
}

const char kSession[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char kActive[] = "SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ActiveComputerName";
const char kNext[] = "SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ComputerName";
const char kUpdates[] = "SOFTWARE\\Microsoft\\Updates";

TEST(PendingRestart, EachRegistrySourceCountsOnlyWhenItSaysSo) {
    using Registry = std::map<std::string, std::map<std::string, std::string>>;
    struct Case {
        const char* name;
        Registry registry;
        std::vector<std::string> sources;
    } cases[] = {
        {"nothing", {}, {}},
        {"servicing",
         {{"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Component Based "
           "Servicing\\RebootPending",
           {}}},
         {"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Component Based "
          "Servicing\\RebootPending"}},
        {"renames",
         {{kSession, {{"PendingFileRenameOperations", std::string("a\0\0", 3)}}}},
         {std::string("HKLM\\") + kSession + "\\PendingFileRenameOperations"}},
        {"empty renames",
         {{kSession, {{"PendingFileRenameOperations", std::string("\0\0", 2)}}}},
         {}},
        {"update flag",
         {{kUpdates, {{"UpdateExeVolatile", std::string("\x01\0\0\0", 4)}}}},
         {std::string("HKLM\\") + kUpdates + "\\UpdateExeVolatile"}},
        {"high flag byte",
         {{kUpdates, {{"UpdateExeVolatile", std::string("\0\x01\0\0", 4)}}}},
         {std::string("HKLM\\") + kUpdates + "\\UpdateExeVolatile"}},
        {"zero flag", {{kUpdates, {{"UpdateExeVolatile", std::string("\0\0\0\0", 4)}}}}, {}},
        {"zero flag as text", {{kUpdates, {{"UpdateExeVolatile", "0"}}}}, {}},
        {"rename",
         {{kActive, {{"ComputerName", "OLD"}}}, {kNext, {{"ComputerName", "NEW"}}}},
         {std::string("HKLM\\") + kActive + "\\ComputerName"}},
        {"same name",
         {{kActive, {{"ComputerName", "HOST"}}}, {kNext, {{"ComputerName", "host"}}}},
         {}},
        {"one name only", {{kActive, {{"ComputerName", "HOST"}}}}, {}},
    };
    for (const Case& c : cases) {
        FakeSystem sys;
        sys.registry = c.registry;
        EXPECT_EQ(c.sources, registry_restart_sources(sys)) << c.name;
    }
}

TEST(PendingRestart, MarkerFileAndItsPackagesAreFoundUnlessIgnored) {
    for (PendingRebootPolicy policy :
         {PendingRebootPolicy::Warn, PendingRebootPolicy::Stop, PendingRebootPolicy::Ignore}) {
        FakeSystem sys;
        sys.restart_marker_path = "C:\\run\\reboot-required";
        sys.files["C:\\run\\reboot-required"] = "*** System restart required ***\n";
        sys.files["C:\\run\\reboot-required.pkgs"] = "linux-image-amd64\nlibc6\n";
        Output out(sys);
        MachineReport machine;
        find_pending_restart(sys, policy, &machine);
        bool ignored = policy == PendingRebootPolicy::Ignore;
        EXPECT_EQ(policy, machine.policy);
        EXPECT_EQ(ignored ? std::vector<std::string>()
                          : std::vector<std::string>({"C:\\run\\reboot-required"}),
                  machine.restart_sources);
        EXPECT_EQ(ignored ? std::vector<std::string>()
                          : std::vector<std::string>({"linux-image-amd64", "libc6"}),
                  machine.restart_packages);
        EXPECT_EQ(policy == PendingRebootPolicy::Stop ? Status::RestartPending : Status::Ok,
                  stop_for_pending_restart(out, machine));
    }
}

}  // namespace
}  // namespace iz
