// The console's character set on POSIX. The program's texts and the run log
// are code page 932 bytes on every platform; a terminal whose locale names
// another character set (ja_JP.UTF-8) gets them converted, so that Japanese
// is readable there.
#pragma once

#include <iconv.h>

#include <cstddef>
#include <string>

namespace iz {
namespace posix {

// The part of a locale value after '.' and before any '@': the character
// set it names, or the empty string.
std::string locale_charset_name(const char* locale);

// The character set a locale value names for the console, or the empty
// string when it names none, one iconv would not take as named, or one of
// code page 932's own names (SJIS, Shift_JIS, CP932, in any case): the bytes
// then go out as they are.
std::string console_charset(const char* locale);

// True when no byte is beyond ASCII.
bool is_ascii(const char* bytes, size_t count);

// One iconv call and its output; `in` null ends the output's shift state.
// Returns 0, or the error number of a sequence that does not convert (a
// full output buffer is no error: the call is repeated).
int convert_some(iconv_t converter, char** in, size_t* in_left, std::string* converted);

// Converts code page 932 bytes to `charset` with iconv. A sequence that does
// not convert becomes kUnconvertible, one for each character it was meant to
// be; a character set iconv does not know leaves the bytes as they are.
std::string from_cp932(const std::string& bytes, const std::string& charset);

const char kUnconvertible = '?';

// True when `bytes` are text in `charset` as they stand: they convert without
// error and hold no control character. For UTF-8: valid UTF-8, neither
// overlong nor a surrogate.
bool is_text_in(const std::string& bytes, const std::string& charset);

// A console line for `charset`. ASCII passes as it is; each run of other
// bytes (taken by code page 932's character lengths, so no double-byte
// character is split) passes unchanged when it is already text in `charset`
// (a name the user wrote in the terminal's own set), else it is converted
// from code page 932. The catalogue's Japanese is never text in the sets
// terminals use, so it is always converted. An unknown `charset` leaves
// every byte as it is.
std::string console_text(const std::string& bytes, const std::string& charset);

// Writes to standard output in the character set of the locale that chose
// the language, and flushes. Any thread may call it.
void write_console(const char* bytes, size_t count);

}  // namespace posix
}  // namespace iz
