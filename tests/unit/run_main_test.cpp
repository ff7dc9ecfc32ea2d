// The command line, the administrator check and the exit codes.
#include "main/run_main.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/run_state.h"
#include "main/administrator.h"
#include "support/fake_system.h"

namespace iz {
namespace {

int run(FakeSystem& sys, std::vector<const char*> args) {
    args.insert(args.begin(), "installzova.exe");
    return run_main(sys, static_cast<int>(args.size()), args.data());
}

FakeSystem administrator() {
    FakeSystem sys;
    sys.groups.push_back(administrators_group());
    return sys;
}

TEST(CommandLine, EveryShapeGivesItsMessageAndExitCode) {
    struct Case {
        std::vector<const char*> args;
        const char* output;
        int exit_code;
    } cases[] = {
        {{}, "QIRU09187-W No parameter is specified.\n", 1},
        {{"-h"}, "Usage: installzova {-f installation-information-settings-file [-c] | -h}\n", 0},
        {{"-H"}, "Usage: installzova {-f installation-information-settings-file [-c] | -h}\n", 0},
        {{"-h", "x"}, "QIRU09189-W The parameter contains an incorrect value. (Value = -h)\n", 1},
        {{"-x"}, "QIRU09189-W The parameter contains an incorrect value. (Value = -x)\n", 1},
        {{"-f"}, "QIRU09190-W The installation information settings file is not specified.\n", 1},
        {{"-F"}, "QIRU09190-W The installation information settings file is not specified.\n", 1},
        {{"-f", "a", "b"}, "QIRU09188-W Too many parameters are specified.\n", 1},
        {{"-h", "a", "-c"}, "QIRU09188-W Too many parameters are specified.\n", 1},
        {{"-f", "a", "-c", "x"}, "QIRU09188-W Too many parameters are specified.\n", 1},
        {{"-f", "a", "-t", "x", "y"}, "QIRU09188-W Too many parameters are specified.\n", 1},
    };
    for (const Case& c : cases) {
        FakeSystem sys = administrator();
        EXPECT_EQ(c.exit_code, run(sys, c.args)) << c.output;
        EXPECT_EQ(c.output, sys.console);
    }
}

TEST(CommandLine, ModesAreRecognisedWithoutRegardToCase) {
    struct Case {
        std::vector<const char*> args;
        RunMode mode;
    } cases[] = {
        {{"-f", "s.ini"}, kModeInstall},           {{"-F", "s.ini"}, kModeInstall},
        {{"-f", "s.ini", "-c"}, kModeCheck},       {{"-f", "s.ini", "-C"}, kModeCheck},
        {{"-f", "s.ini", "-t"}, kModeOptionsOnly}, {{"-F", "s.ini", "-T"}, kModeOptionsOnly},
        {{"-f", "-c", "-t"}, kModeOptionsOnly},  // the file argument is not inspected
        {{"-c", "s.ini"}, kModeParameterError},
    };
    for (const Case& c : cases) {
        FakeSystem sys;
        RunState state(sys);
        std::vector<const char*> args = c.args;
        args.insert(args.begin(), "installzova");
        EXPECT_EQ(c.mode, parse_arguments(state, static_cast<int>(args.size()), args.data()));
    }
}

TEST(CommandLine, ParameterMessagesAreJapaneseForAJapaneseUser) {
    FakeSystem sys = administrator();
    sys.language_name = "Japanese";
    EXPECT_EQ(1, run(sys, {"-x"}));
    EXPECT_EQ("QIRU09189-W ", sys.console.substr(0, 12));
    EXPECT_NE(std::string::npos, sys.console.find("= -x\n"));
    EXPECT_EQ(std::string::npos, sys.console.find("(Value"));
}

TEST(Administrator, RelativeIdsCountAtAnyPositionWhateverTheAttributes) {
    struct Case {
        std::vector<TokenGroup> groups;
        int expected;
    } cases[] = {
        {{TokenGroup{{32, 544}, 0x7}}, 0},           // enabled Administrators alias
        {{TokenGroup{{32, 544}, 0x0}}, 0},           // present, not enabled
        {{TokenGroup{{32, 544}, 0x10}}, 0},          // deny-only
        {{TokenGroup{{21, 1, 2, 3, 512}, 0x7}}, 0},  // Domain Admins
        {{TokenGroup{{512, 21, 1}, 0x7}}, 0},        // 512 at sub-authority 0
        {{TokenGroup{{21, 544, 7}, 0x7}}, 0},        // 544 in the middle
        {{TokenGroup{{32, 545}, 0x7}, TokenGroup{{21, 1, 513}, 0x7}}, -1},  // Users only
        {{}, -1},
        {{TokenGroup{{}, 0x7}, TokenGroup{{5, 544}, 0}}, 0},  // second group counts
    };
    for (const Case& c : cases) {
        FakeSystem sys;
        sys.groups = c.groups;
        EXPECT_EQ(c.expected, is_administrator(sys));
    }
    FakeSystem unreadable;
    unreadable.groups.push_back(administrators_group());
    unreadable.token_readable = false;
    EXPECT_EQ(-1, is_administrator(unreadable));
}

TEST(Administrator, NonAdministratorGetsMessageZeroWhateverTheCommandLine) {
    for (std::vector<const char*> args : std::vector<std::vector<const char*>>{
             {}, {"-h"}, {"-f", "C:\\s.ini"}, {"-f", "a", "-t"}}) {
        FakeSystem sys;
        sys.groups.push_back(TokenGroup{{32, 545}, 0x7});
        EXPECT_EQ(2, run(sys, args));
        EXPECT_EQ(
            "QIRU09001-E There is no system management permission.\n"
            "Login with administrator permission and re-install ZOVA.\n",
            sys.console);
    }
}

TEST(ExitCode, StatusesMapToZeroOneOrNinetyNine) {
    EXPECT_EQ(0, exit_code_for(kStatusOk));
    EXPECT_EQ(1, exit_code_for(kStatusParameterError));
    for (int status : {2, 3, 4, 6, 7, 8, 9, 10}) {
        EXPECT_EQ(99, exit_code_for(status)) << status;
    }
}

TEST(WorkPaths, SuffixesAreAppendedEvenAfterATrailingSeparator) {
    FakeSystem sys;
    RunState state(sys);
    state.value(kWorkDir) = "C:\\Temp\\";
    build_work_paths(state);
    EXPECT_EQ("C:\\Temp\\\\installzova.log", state.paths.run_log);
    EXPECT_EQ("C:\\Temp\\\\setup.iss", state.paths.response);
    EXPECT_EQ("C:\\Temp\\\\setup.log", state.paths.installer_log);
    EXPECT_EQ("C:\\Temp\\\\setoptions.bat", state.paths.options);
}

}  // namespace
}  // namespace iz
