// Text for other programs on Windows: the ANSI code page to UTF-8.
#include <windows.h>

#include <vector>

#include "platform/win32/win32_system.h"

namespace iz {

// Through UTF-16, as Windows converts; a byte the code page does not map
// becomes the code page's default character rather than stopping the text.
std::string Win32System::to_utf8(const std::string& text) {
    if (text.empty()) {
        return text;
    }
    const int length = static_cast<int>(text.size());
    int wide_length = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
    if (wide_length <= 0) {
        return std::string();
    }
    std::vector<wchar_t> wide(static_cast<size_t>(wide_length));
    MultiByteToWideChar(CP_ACP, 0, text.data(), length, wide.data(), wide_length);
    int utf8_length =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_length, nullptr, 0, nullptr, nullptr);
    if (utf8_length <= 0) {
        return std::string();
    }
    std::string utf8(static_cast<size_t>(utf8_length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_length, &utf8[0], utf8_length, nullptr,
                        nullptr);
    return utf8;
}

}  // namespace iz
