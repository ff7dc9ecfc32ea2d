// Values the program works out from the system: the installation folder, the
// temp folder as work folder.
#include "e2e/install_fixture.h"

namespace e2e {
namespace {

TEST_F(InstallRun, DefaultInstallationFolderIsBelowTheProgramFilesFolder) {
    write_settings();
    drop_setting("installdir");
    std::string expected;
    if (target().kind == "win32") {
        expected = "C:\\Program Files (x86)\\KESTRON\\PathSentryMultiway";  // under WOW64
    } else if (target().kind == "win64") {
        expected = "C:\\Program Files\\KESTRON\\PathSentryMultiway";
    } else {
        options.env["ProgramFiles"] = box.path("programs/");
        expected = box.path("programs/") + "/KESTRON/PathSentryMultiway";
    }
    RunResult r = install({"-c"});
    EXPECT_EQ(0, r.exit_code) << r.out;
    EXPECT_EQ(expected, response_value(box.read("work/setup.iss"), "szDir"));
}

TEST_F(InstallRun, ProgramFilesOf74CharactersIsRefused) {
    write_settings();
    drop_setting("installdir");
    std::string name = target().kind == "win32" ? "ProgramFiles(x86)" : "ProgramFiles";
    std::string too_long =
        target().windows ? "C:\\" + std::string(71, 'p') : "/" + std::string(73, 'p');
    options.env[name] = too_long;
    options.env["ProgramW6432"] = too_long;  // Wine's source of a 64-bit "ProgramFiles"
    RunResult r = install({"-c"});
    EXPECT_EQ(99, r.exit_code);
    EXPECT_NE(std::string::npos, r.out.find("QIRU09034-E An Internal error occurred in the ZOVA "
                                            "Installer. Code = "));
    EXPECT_NE(std::string::npos, r.out.find(" 200189\n"));
    EXPECT_FALSE(box.exists("work/setup.iss"));
}

TEST_F(InstallRun, UnsupportedWindowsVersionNeedsAnInstallationFolder) {
    write_settings();
    drop_setting("installdir");
    if (target().windows) {
        // A copy of its own name: the other tests stay on win7 meanwhile.
        box.copy("media/ZOVTools/installzova.exe", "media/ZOVTools/installzova-on-xp.exe");
        set_wine_version("installzova-on-xp.exe", "winxp");
        RunResult r = run(box.path("media/ZOVTools/installzova-on-xp.exe"),
                          {"-f", box.at("install.ini"), "-c"}, options);
        EXPECT_EQ(99, r.exit_code);
        EXPECT_NE(std::string::npos, r.out.find("QIRU09034-E")) << r.out;
        EXPECT_NE(std::string::npos, r.out.find(" 200170\n")) << r.out;
        EXPECT_FALSE(box.exists("work/setup.iss"));
    } else {
        // No version gate here: the platform's program-files folder is taken.
        options.unset.push_back("ProgramFiles");
        RunResult r = install({"-c"});
        EXPECT_EQ(0, r.exit_code) << r.out;
        EXPECT_EQ("/opt/KESTRON/PathSentryMultiway",
                  response_value(box.read("work/setup.iss"), "szDir"));
    }
}

TEST_F(InstallRun, EmptyWorkFolderBecomesTheTempFolder) {
    write_settings();
    drop_setting("workdir");
    box.make_folder("temp");
    std::string temp = box.at("temp") + (target().windows ? "\\" : "/");
    options.env[target().windows ? "TEMP" : "TMPDIR"] = box.at("temp");
    options.env["TMP"] = box.at("temp");
    RunResult r = install({"-c"});
    EXPECT_EQ(0, r.exit_code) << r.out;
    EXPECT_EQ(temp, response_value(box.read("temp/setup.iss"), "szEdit1"));
    EXPECT_TRUE(box.exists("temp/installzova.log"));
}

TEST_F(InstallRun, TempFolderTooLongForTheWorkFilesOrWithALineBreakIsRefused) {
    write_settings();
    drop_setting("workdir");
    std::string long_temp = box.at("") + (target().windows ? "\\" : "/");
    long_temp += std::string(245 - long_temp.size(), 't');  // 245 + "\installzova.log" > 260
    box.make_folder("temp\nszDir=evil");
    struct Case {
        std::string folder;
        const char* error;
    } cases[] = {
        {long_temp, target().windows ? "206" : "36"},
        {box.at("temp\nszDir=evil"), target().windows ? "123" : "22"},
    };
    for (const Case& c : cases) {
        options.env[target().windows ? "TEMP" : "TMPDIR"] = c.folder;
        options.env["TMP"] = c.folder;
        RunResult r = install({"-c"});
        EXPECT_EQ(99, r.exit_code) << c.folder;
        EXPECT_EQ(std::string("QIRU09216-E An error occurred during I/O of a file that installzova "
                              "uses. Error Code = ") +
                      c.error + ", 100558\n",
                  r.out);
        EXPECT_FALSE(box.exists("received.txt"));
    }
}

}  // namespace
}  // namespace e2e
