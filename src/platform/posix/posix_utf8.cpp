// Text for other programs on POSIX: the locale's character set to UTF-8.
#include <iconv.h>

#include <cstring>

#include "platform/posix/posix_charset.h"
#include "platform/posix/posix_system.h"

namespace iz {

namespace {

const char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

// The character set of the locale that decides it. A Japanese locale that
// names none is taken as code page 932, as the console takes it; any other
// as ASCII.
std::string character_set() {
    const char* locale = posix::locale_of("LC_CTYPE");
    std::string named = posix::locale_charset_name(locale);
    if (!named.empty()) {
        return named;
    }
    return locale != nullptr && std::strncmp(locale, "ja", 2) == 0 ? "CP932" : "ASCII";
}

// Every byte at or above 0x80 becomes U+FFFD: what no known set can tell.
std::string ascii_only(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            out += kReplacement;
        } else {
            out += c;
        }
    }
    return out;
}

// Converts with iconv; a byte that starts no valid sequence, or a sequence
// cut at the end, becomes U+FFFD and the conversion goes on after it.
std::string convert(iconv_t converter, const std::string& text) {
    std::string input = text;
    char* in = &input[0];
    size_t in_left = input.size();
    std::string out;
    while (in_left > 0) {
        // With //IGNORE, glibc reports EILSEQ after it has taken every byte:
        // there is nothing left to step over then.
        if (posix::convert_some(converter, &in, &in_left, &out) != 0 && in_left > 0) {
            out += kReplacement;
            ++in;
            --in_left;
            iconv(converter, nullptr, nullptr, nullptr, nullptr);
        }
    }
    return out;
}

}  // namespace

std::string PosixSystem::to_utf8(const std::string& text) {
    if (posix::is_ascii(text.data(), text.size())) {
        return text;
    }
    iconv_t converter = iconv_open("UTF-8", character_set().c_str());
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return ascii_only(text);
    }
    std::string converted = convert(converter, text);
    iconv_close(converter);
    return converted;
}

}  // namespace iz
