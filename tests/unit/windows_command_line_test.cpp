// How the POSIX layer hands the installer its arguments: as a Windows
// program's C runtime would split the command line.
#include <gtest/gtest.h>

#include "emulation/windows_command_line.h"

namespace iz {
namespace {

TEST(WindowsCommandLine, SplitsLikeTheCRuntime) {
    struct Case {
        std::string line;
        std::vector<std::string> arguments;
    } cases[] = {
        {"\"/m/Setup.exe\" -s -f1\"/w/setup.iss\" -f2\"/w/setup.log\" /clone_wait -silent ",
         {"/m/Setup.exe", "-s", "-f1/w/setup.iss", "-f2/w/setup.log", "/clone_wait", "-silent"}},
        {"\"/m dir/Setup.exe\" -f1\"/w d/setup.iss\" -silent -checkerror ",
         {"/m dir/Setup.exe", "-f1/w d/setup.iss", "-silent", "-checkerror"}},
        {"prog a\tb", {"prog", "a", "b"}},
        {"\"C:\\a\\\\Setup.exe\" x", {"C:\\a\\\\Setup.exe", "x"}},  // no escapes in the program
        {"p a\\\\\"b c\"", {"p", "a\\b c"}},
        {"p a\\\"b", {"p", "a\"b"}},
        {"p a\\b\\", {"p", "a\\b\\"}},
        {"p \"a\"\"b\"", {"p", "a\"b"}},
        {"p \"\"", {"p", ""}},
        {"\"unterminated", {"unterminated"}},
        {"", {""}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.arguments, split_windows_command_line(c.line)) << c.line;
    }
}

}  // namespace
}  // namespace iz
