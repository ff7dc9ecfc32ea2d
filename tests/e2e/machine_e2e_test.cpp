// One installation at a time and a silent installer: runs that overlap, a
// wait that runs out, and the notice about an installer that writes nothing.
#include "e2e/machine_fixture.h"

namespace e2e {
namespace {

TEST_F(Machine, SecondRunWaitsForTheFirstAndThenRuns) {
    pid_t first = start_holder();
    RunOptions second = options;
    second.env["TEST_INSTALLER_LINES"] = "QIRU09235-I Second installer.";
    pid_t pid = start(box.program(), {"-f", box.at("install.ini")}, second, box.path("out2"));
    ASSERT_TRUE(wait_for_text(box.path("out2"), "QIRU09301-I"));
    box.write("go", "");
    RunResult r1 = finish(first, box.path("out1"));
    RunResult r2 = finish(pid, box.path("out2"));
    EXPECT_EQ(0, r1.exit_code) << r1.out;
    EXPECT_EQ(0, r2.exit_code) << r2.out;
    EXPECT_EQ(usual_output(std::string(kFirstLine) + "\n"), r1.out);
    std::vector<std::string> lines = lines_of(r2.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(0u, lines[0].find("QIRU09301-I Another installation is in progress (installzova"))
        << lines[0];
    EXPECT_EQ(usual_output("QIRU09235-I Second installer.\n"),
              r2.out.substr(r2.out.find("QIRU09180-I")));
    // The second installer started only after the first had completed.
    std::string log = box.read("work/installzova.log");
    size_t completed = log.find("QIRU09181-I");
    EXPECT_LT(completed, log.find("QIRU09235-I"));
    EXPECT_LT(completed, log.find("QIRU09302-I installzova has waited"));
}

TEST_F(Machine, BusyAfterTheLimitStartsNothingAndLeavesNothing) {
    pid_t first = start_holder();
    for (const char* limit : {"0", "1"}) {
        SCOPED_TRACE(limit);
        std::string name = std::string("work") + limit;
        RunOptions second = options;
        second.env["TEST_INSTALLER_RECORD"] = box.at(name + "-received.txt");
        RunResult r =
            run(box.program(), {"-f", second_settings(name, std::string("wait_seconds=") + limit)},
                second);
        EXPECT_EQ(busy_code(), r.exit_code) << r.out;
        EXPECT_EQ(limit[0] != '0', r.out.find("QIRU09301-I") != std::string::npos) << r.out;
        EXPECT_NE(std::string::npos,
                  r.out.find("QIRU09303-E Another installation is still in progress (installzova"))
            << r.out;
        EXPECT_TRUE(box.list(name).empty());
        EXPECT_FALSE(box.exists(name + "-received.txt"));
    }
    box.write("go", "");
    EXPECT_EQ(0, finish(first, box.path("out1")).exit_code);
}

TEST_F(Machine, SilentInstallerDrawsNoticesAndRunsToItsEnd) {
    write_settings("", "load_balance=on\r\n[INSTALLZOVA]\r\nsilence_notice_seconds=1\r\n");
    options.env["TEST_INSTALLER_LINES"] = kFirstLine;
    options.env["TEST_INSTALLER_DELAY_MS"] = "file:" + box.at("go");
    pid_t pid = start(box.program(), {"-f", box.at("install.ini")}, options, box.path("out"));
    ASSERT_TRUE(wait_for_text(box.path("out"), "QIRU09306-W"));
    box.write("go", "");
    RunResult r = finish(pid, box.path("out"));
    EXPECT_EQ(0, r.exit_code) << r.out;
    std::string notice = "It is still running and installzova goes on waiting for it. Last line: " +
                         std::string(kFirstLine) + "\n";
    EXPECT_NE(std::string::npos, r.out.find(notice)) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("QIRU09181-I ZOVA installation completed.\n"));
    // In the run log too, and never shown again as one of the installer's lines.
    std::string log = box.read("work/installzova.log");
    EXPECT_NE(std::string::npos, log.find("QIRU09306-W The installer (process id "));
    size_t notices = 0;
    for (size_t at = 0; (at = r.out.find("QIRU09306-W", at)) != std::string::npos; ++at) {
        ++notices;
    }
    size_t logged = 0;
    for (size_t at = 0; (at = log.find("QIRU09306-W", at)) != std::string::npos; ++at) {
        ++logged;
    }
    EXPECT_EQ(logged, notices);
}

TEST_F(Machine, BadProgramSettingsWarnAndKeepTheirDefaults) {
    write_settings("",
                   "load_balance=on\r\n[INSTALLZOVA]\r\nwait_seconds=86401\r\n"
                   "pending_reboot=later\r\nsilence_notice_seconds=-1\r\n");
    RunResult r = install();
    EXPECT_EQ(0, r.exit_code) << r.out;
    const char* warnings[] = {"(wait_seconds=86401)", "(pending_reboot=later)",
                              "(silence_notice_seconds=-1)"};
    for (const char* value : warnings) {
        EXPECT_NE(std::string::npos,
                  r.out.find("QIRU09307-W A definition in the INSTALLZOVA section of the "
                             "installation information settings file is invalid. The default "
                             "is used. " +
                             std::string(value) + "\n"))
            << r.out;
    }
    // A warning of the settings: the installer is told so.
    EXPECT_NE(std::string::npos, received().find("-checkerror")) << received();
    std::string log = box.read("work/installzova.log");
    EXPECT_NE(std::string::npos, log.find("QIRU09179-I Data for maintenance: 00100635 "
                                          "silence_notice_seconds=-1\r\n"));
}

}  // namespace
}  // namespace e2e
