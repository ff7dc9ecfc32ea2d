// How a Windows call hands a text back in a caller's buffer of `size` bytes,
// terminator included. The platform gives every text whole; the program's
// behaviour depends on the sizes it once gave those calls, so the cut is
// made here, once, the way the call would have made it.
#pragma once

#include <cstdint>
#include <string>

#include "platform/system.h"

namespace iz {

// Whether `text` and its terminator fit in `size` bytes. The calls that
// refuse a text that does not fit (GetFullPathNameA, GetTempPathA,
// GetModuleFileNameA, RegQueryValueExA, ...) give it only then.
inline bool fits_buffer(const std::string& text, uint32_t size) {
    return text.size() < size;
}

// What a call that cuts a text to fit (GetPrivateProfileStringA) leaves in
// the buffer; its length is what the call returns.
inline std::string cut_to_buffer(const std::string& text, uint32_t size) {
    return size == 0 ? std::string() : text.substr(0, size - 1);
}

// The error number of a call that gave `text`: `error` when it failed, the
// platform's name-too-long number when the text would not have fitted in
// `size` bytes (the call refused it, or answered only the size it needed),
// else 0.
inline int text_error(System& sys, int error, const std::string& text, uint32_t size) {
    return error != 0 ? error : fits_buffer(text, size) ? 0 : sys.name_too_long_error();
}

}  // namespace iz
