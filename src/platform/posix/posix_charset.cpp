#include "platform/posix/posix_charset.h"

#include <errno.h>
#include <iconv.h>

#include <cstdio>
#include <cstring>

#include "core/ascii.h"
#include "core/code_page.h"
#include "platform/posix/posix_system.h"

namespace iz {
namespace posix {

namespace {

// Bytes of the code page 932 character at `at`: two for a lead byte with a
// valid trail byte, else one, so that a stray lead byte never swallows the
// character after it.
size_t character_length(const char* at, size_t left) {
    if (left == 0) {
        return 0;
    }
    if (!is_cp932_lead_byte(static_cast<unsigned char>(at[0])) || left < 2) {
        return 1;
    }
    unsigned char trail = static_cast<unsigned char>(at[1]);
    return (trail >= 0x40 && trail <= 0xFC && trail != 0x7F) ? 2 : 1;
}

// A character-set name as iconv knows them: letters, digits and a few marks.
// glibc drops anything else and may then fall back on ASCII.
bool is_plain_name(const std::string& name) {
    bool any_alnum = false;
    for (char c : name) {
        bool alnum = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (!alnum && std::strchr("-_.:+()", c) == nullptr) {
            return false;
        }
        any_alnum = any_alnum || alnum;
    }
    return any_alnum;
}

}  // namespace

bool is_ascii(const char* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (static_cast<unsigned char>(bytes[i]) >= 0x80) {
            return false;
        }
    }
    return true;
}

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

std::string locale_charset_name(const char* locale) {
    if (locale == nullptr) {
        return std::string();
    }
    std::string name(locale, std::strcspn(locale, "@"));  // language_territory.charset
    size_t dot = name.find('.');
    return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

std::string console_charset(const char* locale) {
    // "//IGNORE" and "//TRANSLIT" are iconv's options, not part of the name.
    std::string named = locale_charset_name(locale);
    std::string charset = named.substr(0, named.find('/'));
    if (!is_plain_name(charset)) {
        return std::string();  // iconv would quietly take some set of its own
    }
    for (const char* own : {"SJIS", "Shift_JIS", "CP932"}) {
        if (equals_ignore_case(charset, own)) {
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
            // shift states gets it in the right state. iconv may say so after
            // it consumed everything (glibc with //IGNORE): nothing is left
            // to skip then.
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

namespace {

bool is_control(uint32_t code) {
    return code < 0x20 || (code >= 0x7F && code <= 0x9F);
}

// Decodes one UTF-8 character at `at`; 0 when the bytes there are no valid,
// shortest-form UTF-8 of a scalar value.
size_t utf8_character(const unsigned char* at, size_t left, uint32_t* code) {
    size_t length = at[0] < 0x80    ? 1
                    : at[0] >= 0xF0 ? 4
                    : at[0] >= 0xE0 ? 3
                    : at[0] >= 0xC2 ? 2
                                    : 0;
    if (length == 0 || length > left || at[0] > 0xF4) {
        return 0;
    }
    uint32_t value = length == 1 ? at[0] : at[0] & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        if ((at[i] & 0xC0) != 0x80) {
            return 0;
        }
        value = (value << 6) | (at[i] & 0x3F);
    }
    const uint32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < kShortest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return 0;
    }
    *code = value;
    return length;
}

bool is_utf8_text(const std::string& bytes) {
    const unsigned char* at = reinterpret_cast<const unsigned char*>(bytes.data());
    size_t left = bytes.size();
    while (left > 0) {
        uint32_t code = 0;
        size_t length = utf8_character(at, left, &code);
        if (length == 0 || is_control(code)) {
            return false;
        }
        at += length;
        left -= length;
    }
    return true;
}

bool is_utf8_name(const std::string& charset) {
    return equals_ignore_case(charset, "UTF-8") || equals_ignore_case(charset, "UTF8");
}

// The length of the run of non-ASCII characters at `at`, by code page 932's
// character lengths.
size_t non_ascii_run(const char* at, size_t left) {
    size_t length = 0;
    while (length < left && static_cast<unsigned char>(at[length]) >= 0x80) {
        length += character_length(at + length, left - length);
    }
    return length;
}

}  // namespace

bool is_text_in(const std::string& bytes, const std::string& charset) {
    if (is_utf8_name(charset)) {
        return is_utf8_text(bytes);
    }
    iconv_t converter = iconv_open("UTF-8", charset.c_str());
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return false;
    }
    std::string decoded;
    std::string input = bytes;
    char* in = &input[0];
    size_t in_left = input.size();
    bool converted = convert_some(converter, &in, &in_left, &decoded) == 0 && in_left == 0 &&
                     convert_some(converter, nullptr, nullptr, &decoded) == 0;
    iconv_close(converter);
    return converted && is_utf8_text(decoded);
}

std::string console_text(const std::string& bytes, const std::string& charset) {
    iconv_t probe = iconv_open(charset.c_str(), "CP932");
    if (probe == reinterpret_cast<iconv_t>(-1)) {
        return bytes;
    }
    iconv_close(probe);
    std::string shown;
    size_t at = 0;
    while (at < bytes.size()) {
        size_t ascii = at;
        while (ascii < bytes.size() && static_cast<unsigned char>(bytes[ascii]) < 0x80) {
            ++ascii;
        }
        shown.append(bytes, at, ascii - at);
        size_t length = non_ascii_run(bytes.data() + ascii, bytes.size() - ascii);
        std::string run = bytes.substr(ascii, length);
        shown += is_text_in(run, charset) ? run : from_cp932(run, charset);
        at = ascii + length;
    }
    return shown;
}

void write_console(const char* bytes, size_t count) {
    std::string charset = console_charset(locale_of("LC_MESSAGES"));
    if (charset.empty() || is_ascii(bytes, count)) {
        std::fwrite(bytes, 1, count, stdout);
    } else {
        std::string converted = console_text(std::string(bytes, count), charset);
        std::fwrite(converted.data(), 1, converted.size(), stdout);
    }
    std::fflush(stdout);
}

}  // namespace posix
}  // namespace iz
