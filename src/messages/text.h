// Byte-string helpers shared by every module: printf-style formatting with the
// program's 255-byte limit, ASCII case folding, and text-mode line ends.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/printf_format.h"

namespace iz {

class Output;

// Every formatted message, trace text and start line holds at most this many
// bytes (a 256-byte buffer with its terminator).
const size_t kTextLimit = 255;

// printf into a string of any length.
std::string format_unbounded(const char* format, ...) IZ_PRINTF_FORMAT(1, 2);
std::string vformat_unbounded(const char* format, va_list args) IZ_PRINTF_FORMAT(1, 0);

// printf cut to kTextLimit bytes. A double-byte character of the code page
// of the run's language that the cut would split is dropped whole, so no
// dangling lead byte is left.
std::string format_text(Output& out, const char* format, ...) IZ_PRINTF_FORMAT(2, 3);
std::string limit_text(Output& out, const std::string& text);

// A span of milliseconds as the whole seconds a message shows.
inline int whole_seconds(int64_t milliseconds) {
    return static_cast<int>(milliseconds / 1000);
}

// Every LF becomes CR LF, as a text-mode stream writes it.
std::string to_text_mode(const std::string& text);

}  // namespace iz
