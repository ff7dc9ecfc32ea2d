#include "platform/posix/posix_charset.h"

#include <errno.h>
#include <iconv.h>

#include <cstdio>
#include <cstring>

#include "platform/posix/posix_system.h"

namespace iz {
namespace posix {

namespace {

bool same_ignoring_case(const std::string& a, const char* b) {
    if (a.size() != std::strlen(b)) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        x = (x >= 'a' && x <= 'z') ? static_cast<char>(x - 'a' + 'A') : x;
        y = (y >= 'a' && y <= 'z') ? static_cast<char>(y - 'a' + 'A') : y;
        if (x != y) {
            return false;
        }
    }
    return true;
}

bool is_ascii(const char* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (static_cast<unsigned char>(bytes[i]) >= 0x80) {
            return false;
        }
    }
    return true;
}

// Bytes of the code page 932 character at `at`: two for a lead byte with a
// valid trail byte, else one, so that a stray lead byte never swallows the
// character after it.
size_t character_length(const char* at, size_t left) {
    unsigned char lead = static_cast<unsigned char>(at[0]);
    bool is_lead = (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC);
    if (!is_lead || left < 2) {
        return 1;
    }
    unsigned char trail = static_cast<unsigned char>(at[1]);
    return (trail >= 0x40 && trail <= 0xFC && trail != 0x7F) ? 2 : 1;
}

// One iconv call and its output; `in` null ends the output's shift state.
// Returns 0, or the error number of a sequence that does not convert (a
// full output buffer is no error: the call is repeated).
int convert_some(iconv_t converter, char** in, size_t* in_left, std::string* converted) {
    char buffer[4096];
    for (;;) {
        char* out = buffer;
        size_t out_left = sizeof buffer;
        size_t result = iconv(converter, in, in_left, &out, &out_left);
        converted->append(buffer, static_cast<size_t>(out - buffer));
        if (result != static_cast<size_t>(-1)) {
            return 0;
        }
        if (errno != E2BIG) {
            return EILSEQ;  // EINVAL, a sequence cut at the end, counts the same
        }
    }
}

}  // namespace

std::string console_charset(const char* locale) {
    if (locale == nullptr) {
        return std::string();
    }
    std::string name(locale, std::strcspn(locale, "@"));  // language_territory.charset
    size_t dot = name.find('.');
    if (dot == std::string::npos) {
        return std::string();
    }
    std::string charset = name.substr(dot + 1);
    for (const char* own : {"SJIS", "Shift_JIS", "CP932"}) {
        if (same_ignoring_case(charset, own)) {
            return std::string();
        }
    }
    return charset;
}

std::string from_cp932(const std::string& bytes, const std::string& charset) {
    iconv_t converter = iconv_open(charset.c_str(), "CP932");
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return bytes;
    }
    std::string converted;
    std::string input = bytes;
    char* in = &input[0];
    size_t in_left = input.size();
    bool done = false;
    while (!done) {
        done = in_left == 0;  // then the call below only ends the output's state
        if (convert_some(converter, done ? nullptr : &in, &in_left, &converted) == EILSEQ) {
            // Not code page 932, or nothing the terminal's set can show. The
            // substitute goes through the converter too, so that a set with
            // shift states gets it in the right state.
            size_t skipped = character_length(in, in_left);
            in += skipped;
            in_left -= skipped;
            char substitute[] = {kUnconvertible, '\0'};
            char* at = substitute;
            size_t left = 1;
            convert_some(converter, &at, &left, &converted);
        }
    }
    iconv_close(converter);
    return converted;
}

void write_console(const char* bytes, size_t count) {
    std::string charset = console_charset(user_locale());
    if (charset.empty() || is_ascii(bytes, count)) {
        std::fwrite(bytes, 1, count, stdout);
    } else {
        std::string converted = from_cp932(std::string(bytes, count), charset);
        std::fwrite(converted.data(), 1, converted.size(), stdout);
    }
    std::fflush(stdout);
}

}  // namespace posix
}  // namespace iz
