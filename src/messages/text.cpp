#include "messages/text.h"

#include <cstdio>
#include <vector>

#include "messages/output.h"

namespace iz {

std::string vformat_unbounded(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    int needed = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (needed <= 0) {
        return std::string();
    }
    std::vector<char> buffer(static_cast<size_t>(needed) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    return std::string(buffer.data(), static_cast<size_t>(needed));
}

std::string format_unbounded(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = vformat_unbounded(format, args);
    va_end(args);
    return text;
}

std::string limit_text(Output& out, const std::string& text) {
    if (text.size() <= kTextLimit) {
        return text;
    }
    // Walk from the start: only the walk knows whether a byte is a lead byte
    // or the trail byte of the character before it.
    size_t end = 0;
    while (end < kTextLimit) {
        size_t width = out.is_lead_byte(static_cast<unsigned char>(text[end])) ? 2 : 1;
        if (end + width > kTextLimit) {
            break;
        }
        end += width;
    }
    return text.substr(0, end);
}

std::string format_text(Output& out, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = vformat_unbounded(format, args);
    va_end(args);
    return limit_text(out, text);
}

std::string to_text_mode(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (char c : text) {
        if (c == '\n') {
            out += '\r';
        }
        out += c;
    }
    return out;
}

}  // namespace iz
