// INI reading with the answers of GetPrivateProfileStringA under code page
// 1252. The file is decoded to UTF-16 before it is parsed, as the Windows call
// does, so that a file with a byte-order mark matches and converts the same
// way; without a mark every byte is one character and comes back unchanged.
// Wine's version of the call cuts a quoted value before it removes the quotes
// and so can lose a character; this reader removes the quotes first, as the
// call's documentation describes, and gives the whole value: a caller cuts it
// to its buffer as the call would, and no character that fits is lost.
#include "emulation/ini_reader.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "core/ascii.h"

namespace iz {

namespace {

namespace fs = std::filesystem;

using Units = std::u16string;

// The Windows call converts the section and key to a counted UTF-16 string,
// which cannot hold more than this; longer arguments never match there.
const size_t kMaxArgumentBytes = 32766;

// Code page 1252 at 0x80-0x9F. The five unassigned bytes stand for the C1
// control of the same number, so every byte survives the round trip.
const char16_t kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                  0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t from_cp1252(char byte) {
    unsigned char b = static_cast<unsigned char>(byte);
    return b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : static_cast<char16_t>(b);
}

// A character the code page lacks becomes "?", and so do the C1 controls but
// the five that stand for unassigned bytes. The Windows conversion would give
// a look-alike for some of the others (A for A with macron); files with a
// byte-order mark are rare enough here for "?" to do.
char to_cp1252(char16_t unit) {
    if (unit < 0x80 || (unit >= 0xA0 && unit < 0x100)) {
        return static_cast<char>(unit);
    }
    for (int i = 0; i < 32; ++i) {
        if (kCp1252High[i] == unit) {
            return static_cast<char>(0x80 + i);
        }
    }
    return '?';
}

Units decode_cp1252(const char* bytes, size_t count) {
    Units text(count, u'\0');
    for (size_t i = 0; i < count; ++i) {
        text[i] = from_cp1252(bytes[i]);
    }
    return text;
}

void append_code_point(char32_t code_point, Units* text) {
    if (code_point < 0x10000) {
        text->push_back(static_cast<char16_t>(code_point));
        return;
    }
    code_point -= 0x10000;
    text->push_back(static_cast<char16_t>(0xD800 + (code_point >> 10)));
    text->push_back(static_cast<char16_t>(0xDC00 + (code_point & 0x3FF)));
}

// Length of the UTF-8 sequence a lead byte opens, 0 for a byte that opens none.
size_t utf8_length(unsigned char lead) {
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        return 3;
    }
    return lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
}

// A malformed sequence becomes one U+FFFD for as much of it as was valid, so
// that overlong forms, encoded surrogates and code points past U+10FFFF are
// refused like the Windows decoder refuses them.
Units decode_utf8(const std::string& bytes, size_t from) {
    Units text;
    text.reserve(bytes.size() - from);
    size_t i = from;
    while (i < bytes.size()) {
        unsigned char lead = static_cast<unsigned char>(bytes[i++]);
        size_t length = utf8_length(lead);
        char32_t code_point = length == 1 ? lead : lead & (0x7F >> length);
        unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
        unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
        size_t done = 1;
        while (length > 1 && done < length && i < bytes.size()) {
            unsigned char next = static_cast<unsigned char>(bytes[i]);
            if (next < low || next > high) {
                break;
            }
            code_point = (code_point << 6) | (next & 0x3F);
            low = 0x80;
            high = 0xBF;
            ++done;
            ++i;
        }
        append_code_point(length != 0 && done == length ? code_point : 0xFFFD, &text);
    }
    return text;
}

// An odd last byte is half a character, and is dropped.
Units decode_utf16(const std::string& bytes, bool big_endian) {
    Units text((bytes.size() - 2) / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char first = static_cast<unsigned char>(bytes[2 + 2 * i]);
        unsigned char second = static_cast<unsigned char>(bytes[3 + 2 * i]);
        text[i] = big_endian ? static_cast<char16_t>(first << 8 | second)
                             : static_cast<char16_t>(second << 8 | first);
    }
    return text;
}

bool starts_with(const std::string& bytes, const char* mark) {
    return bytes.compare(0, std::strlen(mark), mark) == 0;
}

Units decode_file(const std::string& bytes) {
    if (starts_with(bytes, "\xEF\xBB\xBF")) {
        return decode_utf8(bytes, 3);
    }
    if (starts_with(bytes, "\xFF\xFE")) {
        return decode_utf16(bytes, false);
    }
    if (starts_with(bytes, "\xFE\xFF")) {
        return decode_utf16(bytes, true);
    }
    return decode_cp1252(bytes.data(), bytes.size());
}

// A stretch [begin, end) of the decoded file or of an argument.
struct Span {
    const char16_t* begin;
    const char16_t* end;
};

size_t length(Span s) {
    return static_cast<size_t>(s.end - s.begin);
}

// TAB to CR, SPACE, and the old DOS end-of-file mark Ctrl-Z.
bool is_profile_space(char16_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x1A || c == 0x20;
}

Span trim_left(Span s) {
    while (s.begin < s.end && is_profile_space(*s.begin)) {
        ++s.begin;
    }
    return s;
}

Span trim_right(Span s) {
    while (s.end > s.begin && is_profile_space(s.end[-1])) {
        --s.end;
    }
    return s;
}

Span trim(Span s) {
    return trim_right(trim_left(s));
}

// Names and values are C strings in the Windows call: a NUL ends them, after
// the line has been trimmed.
Span cut_at_nul(Span s) {
    return {s.begin, std::find(s.begin, s.end, u'\0')};
}

bool same_name(Span a, Span b) {
    return length(a) == length(b) &&
           std::equal(a.begin, a.end, b.begin,
                      [](char16_t x, char16_t y) { return ascii_lower(x) == ascii_lower(y); });
}

// The line at *cursor without its line break; *cursor moves past the break.
// A run of CR and LF makes empty lines, which are skipped like blank ones.
Span next_line(const char16_t** cursor, const char16_t* end) {
    const char16_t* begin = *cursor;
    const char16_t* stop = begin;
    while (stop < end && *stop != u'\n' && *stop != u'\r') {
        ++stop;
    }
    *cursor = stop < end ? stop + 1 : end;
    return {begin, stop};
}

// A trimmed line opening with "[" is a section header if it holds a "]"; the
// name reaches to the last "]". Without one it is an ordinary key line.
bool header_name(Span line, Span* name) {
    if (*line.begin != u'[') {
        return false;
    }
    const char16_t* close = line.end;
    while (close > line.begin + 1 && close[-1] != u']') {
        --close;
    }
    if (close == line.begin + 1) {
        return false;
    }
    *name = cut_at_nul(trim({line.begin + 1, close - 1}));
    return true;
}

struct Entry {
    Span name;
    bool has_value;
    Span value;
};

// The name is what precedes the first "=", the value what follows it.
Entry parse_entry(Span line) {
    const char16_t* equals = std::find(line.begin, line.end, u'=');
    if (equals == line.end) {
        return {cut_at_nul(line), false, {line.end, line.end}};
    }
    return {cut_at_nul(trim_right({line.begin, equals})), true,
            cut_at_nul(trim_left({equals + 1, line.end}))};
}

// The value of the first line named `key` in the first section named
// `section`; lines before the first header form a nameless section, reached
// with the empty name, which keeps any "[]" section out of reach. False when
// there is no such line or it has no "=".
bool find_value(const Units& text, Span section, Span key, Span* value) {
    const char16_t* cursor = text.data();
    const char16_t* end = cursor + text.size();
    bool in_section = length(section) == 0;
    while (cursor < end) {
        Span line = trim(next_line(&cursor, end));
        if (length(line) == 0) {
            continue;
        }
        Span name;
        if (header_name(line, &name)) {
            if (in_section) {
                return false;  // later sections of the same name are not merged
            }
            in_section = same_name(name, section);
            continue;
        }
        if (!in_section) {
            continue;
        }
        Entry entry = parse_entry(line);
        if (same_name(entry.name, key)) {
            *value = entry.value;
            return entry.has_value;
        }
    }
    return false;
}

// Enclosing quotation marks of one kind are dropped once, with no unescaping.
Span without_quotes(Span s) {
    if (length(s) >= 2 && (*s.begin == u'"' || *s.begin == u'\'') && s.end[-1] == *s.begin) {
        return {s.begin + 1, s.end - 1};
    }
    return s;
}

std::string value_text(Span value) {
    std::string text(length(value), '\0');
    for (size_t i = 0; i < text.size(); ++i) {
        text[i] = to_cp1252(value.begin[i]);
    }
    return text;
}

// The default loses its trailing spaces (0x20 only) and, unless the file
// exists but could not be opened, enclosing quotes like a value.
std::string fallback_text(const std::string& fallback, bool strip_quotes) {
    const char* begin = fallback.c_str();
    const char* end = begin + std::strlen(begin);
    while (end > begin && end[-1] == ' ') {
        --end;
    }
    if (strip_quotes && end - begin >= 2 && (*begin == '"' || *begin == '\'') &&
        end[-1] == *begin) {
        ++begin;
        --end;
    }
    return std::string(begin, end);
}

bool usable_argument(const std::string& text) {
    return std::strlen(text.c_str()) <= kMaxArgumentBytes;
}

std::string answer(const std::string* content, bool unreadable, const std::string& section,
                   const std::string& key, const std::string& fallback) {
    if (unreadable) {
        return fallback_text(fallback, false);
    }
    if (content != nullptr && usable_argument(section) && usable_argument(key)) {
        Units text = decode_file(*content);
        Units section_text = decode_cp1252(section.c_str(), std::strlen(section.c_str()));
        Units key_text = decode_cp1252(key.c_str(), std::strlen(key.c_str()));
        Span section_name = trim({section_text.data(), section_text.data() + section_text.size()});
        Span key_name = trim({key_text.data(), key_text.data() + key_text.size()});
        Span value;
        if (find_value(text, section_name, key_name, &value)) {
            return value_text(without_quotes(value));
        }
    }
    return fallback_text(fallback, true);
}

enum class FileState { Missing, Unreadable, Read };

// The call tells a missing file (the default, quotes removed) from one that
// cannot be opened or whose folder is missing (the default as given).
FileState read_file(const std::string& path, std::string* bytes) {
    if (path.empty()) {
        return FileState::Unreadable;
    }
    std::error_code error;
    fs::path file(path);
    fs::file_type type = fs::status(file, error).type();
    if (type == fs::file_type::not_found) {
        fs::path folder = file.parent_path();
        bool folder_exists = folder.empty() || fs::is_directory(folder, error);
        return folder_exists ? FileState::Missing : FileState::Unreadable;
    }
    if (type != fs::file_type::regular) {
        return FileState::Unreadable;  // folders, devices, pipes
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return FileState::Unreadable;
    }
    char chunk[16384];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        bytes->append(chunk, static_cast<size_t>(in.gcount()));
    }
    if (in.bad()) {
        bytes->clear();  // a failed read answers like an empty file, as in Wine
    }
    return FileState::Read;
}

}  // namespace

std::string ini_profile_value(const std::string* content, bool unreadable,
                              const std::string& section, const std::string& key,
                              const std::string& fallback) {
    try {
        return answer(content, unreadable, section, key, fallback);
    } catch (const std::exception&) {
        // No memory for the decoded file: answered like a file that could not
        // be parsed, which is what Wine does.
        return fallback_text(fallback, true);
    }
}

std::string ini_profile_value_from_file(const std::string& path, const std::string& section,
                                        const std::string& key, const std::string& fallback) {
    std::string bytes;
    FileState state = FileState::Unreadable;
    try {
        state = read_file(path, &bytes);
    } catch (const std::exception&) {
        state = FileState::Unreadable;
    }
    return ini_profile_value(state == FileState::Read ? &bytes : nullptr,
                             state == FileState::Unreadable, section, key, fallback);
}

}  // namespace iz
