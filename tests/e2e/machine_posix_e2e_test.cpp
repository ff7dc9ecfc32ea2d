// The machine as POSIX has it: the lock below /run, the dpkg lock and the
// restart marker file.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "e2e/machine_fixture.h"

namespace e2e {
namespace {

// Natively, where each test has /run and /var/lib/dpkg of its own
// (private_machine.sh): the lock's own place, the dpkg lock, the restart
// marker, and a run killed while its installer goes on.
class MachineNative : public Machine {
  protected:
    void SetUp() override {
        Machine::SetUp();
        options.unset.push_back("INSTALLZOVA_LOCK_FOLDER");
    }
};

TEST_F(MachineNative, LockLivesInRunForRootAloneAndOutlivesAKilledRun) {
    pid_t first = start_holder();
    struct stat info;
    ASSERT_EQ(0, lstat("/run/installzova.lock", &info));
    EXPECT_EQ(0600u, info.st_mode & 07777);
    EXPECT_EQ(0u, info.st_uid);
    kill(first, SIGKILL);
    RunResult killed = finish(first, box.path("out1"));
    EXPECT_EQ(SIGKILL, killed.signal);
    // Its installer still holds the machine.
    RunResult busy = run(box.program(), {"-f", second_settings("busy", "wait_seconds=0")}, options);
    EXPECT_EQ(75, busy.exit_code) << busy.out;
    EXPECT_NE(std::string::npos, busy.out.find("(installzova PID " + std::to_string(first) + ")"))
        << busy.out;
    box.write("go", "");
    // Once it has ended the machine is free: this run waits, if at all, only
    // for that installer's last moments.
    RunResult after = run(box.program(), {"-f", second_settings("after", "")}, options);
    EXPECT_EQ(0, after.exit_code) << after.out;
}

TEST_F(MachineNative, DpkgBusyIsWaitedForThenRunOutAt75) {
    write_settings();
    int fd = open("/var/lib/dpkg/lock-frontend", O_RDWR | O_CREAT, 0640);
    ASSERT_GE(fd, 0);
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    ASSERT_EQ(0, fcntl(fd, F_SETLK, &lock));
    // The lock goes with the descriptor.
    expect_refused_then_waited("dpkg", [fd] { close(fd); });
    EXPECT_NE(std::string::npos, box.read("work/installzova.log").find("QIRU09302-I"));
}

TEST_F(MachineNative, RebootRequiredFileWarnsStopsOrIsIgnored) {
    write_settings();
    {
        std::ofstream("/run/reboot-required") << "*** System restart required ***\n";
        std::ofstream("/run/reboot-required.pkgs") << "linux-image-amd64\n";
    }
    RunResult warned = install();
    RunResult stopped =
        run(box.program(), {"-f", second_settings("stop", "pending_reboot=stop")}, options);
    RunResult ignored =
        run(box.program(), {"-f", second_settings("ignore", "pending_reboot=ignore")}, options);
    unlink("/run/reboot-required");
    unlink("/run/reboot-required.pkgs");
    EXPECT_EQ(0, warned.exit_code);
    EXPECT_NE(std::string::npos,
              warned.out.find("QIRU09304-W The machine is waiting for a restart "
                              "(/run/reboot-required). The installation goes on.\n"));
    EXPECT_EQ(69, stopped.exit_code);
    EXPECT_EQ(
        "QIRU09305-E The machine is waiting for a restart (/run/reboot-required). Nothing "
        "was started. Restart the machine and retry.\n",
        stopped.out);
    // Only this run's record: it held the machine and started nothing.
    EXPECT_EQ(std::vector<std::string>{"installzova-result.json"}, box.list("stop"));
    EXPECT_EQ(0, ignored.exit_code);
    EXPECT_EQ(std::string::npos, ignored.out.find("QIRU0930"));
    // The record says what was found and which policy was applied.
    nlohmann::json record = nlohmann::json::parse(box.read("stop/installzova-result.json"));
    EXPECT_EQ(69, record["exit_code"]);
    EXPECT_EQ("stop", record["pending_reboot_policy"]);
    EXPECT_EQ(nlohmann::json::array({"/run/reboot-required"}), record["pending_restart_sources"]);
    EXPECT_EQ(0, record["seconds_waited"]);
}

}  // namespace
}  // namespace e2e
