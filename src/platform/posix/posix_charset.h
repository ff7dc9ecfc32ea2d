// The console's character set on POSIX. The program's texts and the run log
// are code page 932 bytes on every platform; a terminal whose locale names
// another character set (ja_JP.UTF-8) gets them converted, so that Japanese
// is readable there.
#pragma once

#include <cstddef>
#include <string>

namespace iz {
namespace posix {

// The character set a locale value names (the part after '.', before any
// '@'), or the empty string when it names none or one of code page 932's own
// names (SJIS, Shift_JIS, CP932, in any case): the bytes then go out as they
// are.
std::string console_charset(const char* locale);

// Converts code page 932 bytes to `charset` with iconv. A sequence that does
// not convert becomes kUnconvertible, one for each character it was meant to
// be; a character set iconv does not know leaves the bytes as they are.
std::string from_cp932(const std::string& bytes, const std::string& charset);

const char kUnconvertible = '?';

// Writes to standard output in the character set of the locale that chose
// the language, and flushes. Any thread may call it.
void write_console(const char* bytes, size_t count);

}  // namespace posix
}  // namespace iz
