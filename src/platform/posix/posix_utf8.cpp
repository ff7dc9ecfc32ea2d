// Text for other programs on POSIX: the locale's character set to UTF-8.
#include <errno.h>
#include <iconv.h>

#include <cstdlib>
#include <cstring>

#include "platform/posix/posix_system.h"

namespace iz {

namespace {

const char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

// The locale that decides the character set, as the C library would pick it.
const char* character_locale() {
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && value[0] != '\0') {
            return value;
        }
    }
    return "";
}

// The part after '.' and before any '@'. A Japanese locale that names none
// is taken as code page 932, as the console takes it; any other as ASCII.
std::string locale_charset(const char* locale) {
    std::string name(locale, std::strcspn(locale, "@"));
    size_t dot = name.find('.');
    if (dot != std::string::npos && dot + 1 < name.size()) {
        return name.substr(dot + 1);
    }
    return name.compare(0, 2, "ja") == 0 ? "CP932" : "ASCII";
}

bool is_ascii(const std::string& text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
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
    char buffer[1024];
    while (in_left > 0) {
        char* at = buffer;
        size_t out_left = sizeof buffer;
        size_t result = iconv(converter, &in, &in_left, &at, &out_left);
        out.append(buffer, static_cast<size_t>(at - buffer));
        // With //IGNORE, glibc reports EILSEQ after it has taken every byte:
        // there is nothing left to step over then.
        if (result == static_cast<size_t>(-1) && errno != E2BIG && in_left > 0) {
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
    if (is_ascii(text)) {
        return text;
    }
    iconv_t converter = iconv_open("UTF-8", locale_charset(character_locale()).c_str());
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return ascii_only(text);
    }
    std::string converted = convert(converter, text);
    iconv_close(converter);
    return converted;
}

}  // namespace iz
