// The installer's command line and folder, and its start.
#include "installer/launcher.h"

#include <gtest/gtest.h>

#include "messages/output.h"
#include "support/fake_system.h"
#include "support/work_folder.h"

namespace iz {
namespace {

TEST(Launcher, CommandLinesOfEachModeEndWithOneBlank) {
    struct Case {
        bool check;
        bool warned;
        const char* tail;
    } cases[] = {
        {false, false, "/clone_wait -silent "},
        {true, false, "/clone_wait -silentcheck "},
        {false, true, "/clone_wait -silent -checkerror "},
        {true, true, "/clone_wait -silentcheck -checkerror "},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(std::string("\"D:\\media\\Setup.exe\" -s -f1\"C:\\w\\setup.iss\" "
                              "-f2\"C:\\w\\setup.log\" ") +
                      c.tail,
                  setup_command_line("D:\\media\\Setup.exe", "C:\\w\\setup.iss", "C:\\w\\setup.log",
                                     c.check, c.warned));
    }
}

TEST(Launcher, SetupFolderFromTheSettingOrTheProgramsOwnPath) {
    struct Case {
        const char* location;
        const char* module;
        const char* folder;
        bool posix;
    } cases[] = {
        {"D:\\media", "", "D:\\media", false},
        {"", "D:\\media\\ZOVTools\\installzova.exe", "D:\\media\\", false},
        {"", "D:\\media\\zovtools\\INSTALLZOVA.EXE", "D:\\media\\", false},
        {"", "a\\ZOVTools\\installzova.exe", "a\\", false},
        // Anything else gives no folder, so nothing is started.
        {"", "E:\\x\\installzova.exe", "", false},  // too short
        {"", "ZOVTools\\installzova.exe", "", false},
        {"", "D:\\installzova-1.0\\installzova.exe", "", false},
        {"", "D:\\mediaZOVTools\\installzova.exe", "", false},
        {"", "D:\\media\\ZOVTools\\installzova.exx", "", false},
        {"", "/m/ZOVTools/installzova", "/m/", true},
        {"", "/m/zovtools/installzova", "", true},
        {"", "/tmp/installzova-1.0/installzova", "", true},
    };
    for (const Case& c : cases) {
        FakeSystem sys;
        sys.module_path = c.module;
        if (c.posix) {
            sys.separator = '/';
            sys.own_relative = "ZOVTools/installzova";
            sys.names_ignore_case = false;
        }
        Output out(sys);
        std::string folder = "unset";
        EXPECT_TRUE(setup_folder(sys, out, c.location, &folder));
        EXPECT_EQ(c.folder, folder) << c.module;
    }
}

TEST_F(WorkFolder, StaleInstallerLogIsDeletedBeforeTheStart) {
    result_code("ResultCode=0");
    bool seen = true;
    sys.installer = [&](const std::string&) { seen = sys.files.count(kSetupLog) != 0; };
    EXPECT_EQ(Status::Ok, launch_setup(sys, out, settings, paths, watch, &outcome, false, false));
    EXPECT_FALSE(seen);
}

}  // namespace
}  // namespace iz
