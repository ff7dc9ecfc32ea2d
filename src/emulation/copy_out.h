// How a Windows call hands back a string, for the POSIX layer and the test
// fake that stand in for such calls.
#pragma once

#include <cstdint>
#include <string>

namespace iz {

// Copies `text` as a Windows call returns a string: its length when it fits
// with its terminator, else the size needed (nothing is copied then).
uint32_t copy_out(const std::string& text, char* buffer, uint32_t size);

}  // namespace iz
