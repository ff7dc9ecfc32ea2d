// Limits more than one module keeps to.
#pragma once

#include <cstdint>

namespace iz {

// The longest path the program handles, as on Windows.
const uint32_t kMaxPath = 260;

}  // namespace iz
