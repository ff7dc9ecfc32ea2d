// Limits more than one module keeps to.
#pragma once

#include <cstdint>

namespace iz {

// The longest path the program handles, as on Windows.
const uint32_t kMaxPath = 260;
// The buffer the Windows path queries were given: the longest path and its
// terminator. A path that would not have fitted is too long.
const uint32_t kPathBufferSize = kMaxPath + 1;

}  // namespace iz
