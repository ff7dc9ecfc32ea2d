// The Wine loader the Linux test drivers start Windows programs with.
#pragma once

#include <cstdlib>
#include <string>

namespace iz_test {

// The loader WINELOADER names (the 64-bit one where this machine refuses
// 32-bit programs and Debian's `wine` script would pick the 32-bit one),
// else the `wine` of the PATH.
inline std::string wine_loader() {
    const char* loader = std::getenv("WINELOADER");
    return loader != nullptr && *loader != '\0' ? loader : "wine";
}

}  // namespace iz_test
