// The Wine loader and prefix the Linux test drivers start Windows programs with.
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

// The Wine prefix the Windows programs run in: WINEPREFIX, else Wine's
// default, ~/.wine.
inline std::string wine_prefix() {
    const char* prefix = std::getenv("WINEPREFIX");
    if (prefix != nullptr && *prefix != '\0') {
        return prefix;
    }
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + "/.wine";
}

}  // namespace iz_test
