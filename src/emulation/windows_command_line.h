// Splitting a Windows command line into arguments, as a Windows program's C
// runtime splits it, so that the installer started on POSIX receives the
// arguments it would receive on Windows.
#pragma once

#include <string>
#include <vector>

namespace iz {

// The first argument is the program: a quoted first token ends at the next
// quote, with no escapes. The others follow the C runtime's rules: blanks and
// tabs separate outside quotes; quotes group and are removed; 2n backslashes
// before a quote give n backslashes, 2n+1 give n and a literal quote; other
// backslashes are literal; "" inside quotes gives one literal quote.
std::vector<std::string> split_windows_command_line(const std::string& command_line);

}  // namespace iz
