// How the differential test makes its files: names, values and lines of the
// kinds settings files hold, and the odd cases around them listed in
// ini_differential.cpp, in ANSI or UTF-16 LE, and queries aimed at them.
#include "diff/random_ini.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace iz {
namespace ini_diff {
namespace {

// ---------------------------------------------------------------- random choices

size_t between(Rng& rng, size_t low, size_t high) {
    return std::uniform_int_distribution<size_t>(low, high)(rng);
}

bool percent(Rng& rng, size_t chance) {
    return between(rng, 0, 99) < chance;
}

template <typename T, size_t N>
const T& one_of(Rng& rng, const T (&items)[N]) {
    return items[between(rng, 0, N - 1)];
}

// The white space of the call: TAB, LF, VT, FF, CR, SPACE and 0x1A.
bool is_white(unsigned char c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x1A || c == 0x20;
}

// A byte that is no white space, no line break and no NUL, mostly printable.
char solid_byte(Rng& rng, const char* excluded) {
    for (;;) {
        size_t kind = between(rng, 0, 19);
        unsigned char c = kind < 13   ? static_cast<unsigned char>(between(rng, 0x21, 0x7E))
                          : kind < 19 ? static_cast<unsigned char>(between(rng, 0x80, 0xFF))
                                      : static_cast<unsigned char>(between(rng, 0x01, 0x20));
        c = c == 0x20 ? 0x7F : c;
        if (!is_white(c) && std::strchr(excluded, static_cast<char>(c)) == nullptr) {
            return static_cast<char>(c);
        }
    }
}

// White space that stays inside a name or value: never at either end, where
// only blanks and tabs are generated.
char inner_blank(Rng& rng) {
    static const char kRare[] = {'\x0B', '\x0C', '\x1A'};
    size_t kind = between(rng, 0, 9);
    return kind < 7 ? ' ' : kind < 9 ? '\t' : one_of(rng, kRare);
}

// Text of `length` bytes that neither starts nor ends with white space.
std::string random_text(Rng& rng, size_t length, const char* excluded) {
    std::string text;
    for (size_t i = 0; i < length; ++i) {
        bool inside = i > 0 && i + 1 < length && !is_white(static_cast<unsigned char>(text.back()));
        text += inside && percent(rng, 12) ? inner_blank(rng) : solid_byte(rng, excluded);
    }
    return text;
}

// Blanks and tabs, mostly none.
std::string padding(Rng& rng) {
    std::string out;
    while (percent(rng, 30)) {
        out += percent(rng, 70) ? ' ' : '\t';
    }
    return out;
}

const char* const kWords[] = {
    "InstallDir", "Version",   "ProductName", "Language", "Path",     "Mode",
    "Silent",     "LogFile",   "Timeout",     "Company",  "Setup",    "Options",
    "General",    "Product",   "Files",       "Settings", "Registry", "Shortcuts",
    "Display",    "Name",      "fileversion", "Result",   "Code",     "User",
    "Target",     "Source",    "Default",     "server",   "port",     "retry",
    "Flags",      "installer", "ARGS",        "temp",     "KEY",      "value"};

std::string settings_word(Rng& rng) {
    std::string word = one_of(rng, kWords);
    if (percent(rng, 30)) {
        word += std::to_string(between(rng, 0, 99));
    }
    if (percent(rng, 15)) {
        word += std::string(1, percent(rng, 80) ? ' ' : '_') + one_of(rng, kWords);
    }
    return word;
}

// A section or key name: a settings word or random bytes, never empty and
// never with white space at either end.
std::string make_name(Rng& rng, const char* excluded, const char* bad_first) {
    std::string name =
        percent(rng, 55) ? settings_word(rng) : random_text(rng, between(rng, 1, 24), excluded);
    if (std::strchr(bad_first, name[0]) != nullptr) {
        name.insert(name.begin(), 'k');
    }
    return name;
}

const char kKeyExcluded[] = "=";
const char kKeyBadFirst[] = "[;#";
const char kSectionExcluded[] = "]";

std::string key_name(Rng& rng) {
    return make_name(rng, kKeyExcluded, kKeyBadFirst);
}

std::string section_name(Rng& rng) {
    return make_name(rng, kSectionExcluded, "");
}

std::string with_case_changed(Rng& rng, const std::string& name) {
    std::string out = name;
    if (percent(rng, 40)) {
        return out;
    }
    for (char& c : out) {
        if (((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) && percent(rng, 50)) {
            c = static_cast<char>(c ^ 0x20);
        }
    }
    return out;
}

// ---------------------------------------------------------------- values

std::string quoted(Rng& rng, const std::string& inner) {
    char quote = percent(rng, 65) ? '"' : '\'';
    return quote + inner + quote;
}

std::string inner_of_quotes(Rng& rng) {
    size_t kind = between(rng, 0, 9);
    if (kind == 0) {
        return "";
    }
    if (kind == 1) {
        return " " + random_text(rng, between(rng, 1, 12), "") + padding(rng) + " ";
    }
    if (kind == 2) {
        return random_text(rng, between(rng, 100, 230), "");
    }
    if (kind == 3) {
        return quoted(rng, random_text(rng, between(rng, 1, 10), ""));
    }
    return percent(rng, 50) ? settings_word(rng) : random_text(rng, between(rng, 1, 30), "");
}

std::string unbalanced_quotes(Rng& rng) {
    std::string text = random_text(rng, between(rng, 1, 20), "\"'");
    switch (between(rng, 0, 4)) {
        case 0:
            return "\"" + text;
        case 1:
            return text + "'";
        case 2:
            return "\"" + text + "'";
        case 3:
            return "'" + text + "\"";
        default:
            return percent(rng, 50) ? "\"" : "'";
    }
}

std::string special_value(Rng& rng) {
    static const char* const kSpecials[] = {"=", ";", "#", "[", "]", "\"", "'", "==", " ; "};
    std::string value = random_text(rng, between(rng, 1, 10), "");
    for (size_t n = between(rng, 1, 3); n > 0; --n) {
        value += one_of(rng, kSpecials) + random_text(rng, between(rng, 1, 10), "");
    }
    return value;
}

std::string path_value(Rng& rng) {
    std::string path = percent(rng, 50) ? "C:\\Program Files\\" : "%TEMP%\\";
    for (size_t n = between(rng, 1, 4); n > 0; --n) {
        path += settings_word(rng) + "\\";
    }
    return path + (percent(rng, 50) ? "setup.exe" : "");
}

std::string make_value(Rng& rng) {
    switch (between(rng, 0, 13)) {
        case 0:
            return "";
        case 1:
            return std::to_string(between(rng, 0, 99999));
        case 2:
            return settings_word(rng);
        case 3:
            return path_value(rng);
        case 4:
        case 5:
            return random_text(rng, between(rng, 1, 40), "");
        case 6:
            return random_text(rng, between(rng, 100, 400), "");
        case 7:
        case 8:
        case 9:
            return quoted(rng, inner_of_quotes(rng));
        case 10:
            return unbalanced_quotes(rng);
        case 11:
            return special_value(rng);
        default:
            return random_text(rng, between(rng, 1, 8), "") + (percent(rng, 50) ? "\"" : "'") +
                   random_text(rng, between(rng, 1, 8), "");
    }
}

// ---------------------------------------------------------------- files

// A line the queries can aim at: its section and key as written, and the
// value after trimming (`has_value` false for a line without "=").
struct Target {
    std::string section;
    std::string key;
    bool has_value = false;
    std::string value;
};

struct Builder {
    Rng* rng;
    std::vector<std::string> lines;
    std::vector<Target> targets;
    std::vector<std::string> sections;
    std::string section;  // as written in the current header, trimmed
};

void add_comment(Builder* b) {
    Rng& rng = *b->rng;
    std::string text = percent(rng, 70) ? " " + random_text(rng, between(rng, 1, 50), "") : "";
    b->lines.push_back(padding(rng) + (percent(rng, 60) ? ";" : "#") + text);
}

void add_blank(Builder* b) {
    b->lines.push_back(percent(*b->rng, 60) ? "" : padding(*b->rng) + " ");
}

// An earlier key of this section, in other letters' case, or a new name.
std::string key_for_line(Builder* b) {
    Rng& rng = *b->rng;
    std::vector<const Target*> here;
    for (const Target& t : b->targets) {
        if (t.section == b->section) {
            here.push_back(&t);
        }
    }
    if (!here.empty() && percent(rng, 12)) {
        return with_case_changed(rng, here[between(rng, 0, here.size() - 1)]->key);
    }
    return percent(rng, 2) ? "" : key_name(rng);
}

void add_key(Builder* b, bool named_section) {
    Rng& rng = *b->rng;
    std::string key = key_for_line(b);
    std::string value = make_value(rng);
    b->lines.push_back(padding(rng) + key + padding(rng) + "=" + padding(rng) + value +
                       padding(rng));
    if (named_section) {
        b->targets.push_back({b->section, key, true, value});
    }
}

void add_valueless(Builder* b) {
    Rng& rng = *b->rng;
    std::string name = key_for_line(b);
    name = name.empty() ? key_name(rng) : name;
    b->lines.push_back(padding(rng) + name + padding(rng));
    b->targets.push_back({b->section, name, false, ""});
}

void add_header(Builder* b) {
    Rng& rng = *b->rng;
    std::string name =
        !b->sections.empty() && percent(rng, 15)
            ? with_case_changed(rng, b->sections[between(rng, 0, b->sections.size() - 1)])
            : section_name(rng);
    std::string tail;
    if (percent(rng, 15)) {
        tail = padding(rng) + (percent(rng, 50) ? "; " : " ") +
               random_text(rng, between(rng, 1, 20), kSectionExcluded);
    }
    b->lines.push_back(padding(rng) + "[" + padding(rng) + name + padding(rng) + "]" + tail);
    b->sections.push_back(name);
    b->section = name;
}

void add_section_body(Builder* b) {
    Rng& rng = *b->rng;
    for (size_t n = between(rng, 0, 12); n > 0; --n) {
        size_t kind = between(rng, 0, 99);
        if (kind < 72) {
            add_key(b, true);
        } else if (kind < 80) {
            add_valueless(b);
        } else if (kind < 90) {
            add_comment(b);
        } else {
            add_blank(b);
        }
    }
}

// Lines before the first header: comments and keys that no query reaches.
void add_preamble(Builder* b) {
    Rng& rng = *b->rng;
    for (size_t n = percent(rng, 25) ? between(rng, 1, 4) : 0; n > 0; --n) {
        if (percent(rng, 70)) {
            add_comment(b);
        } else {
            add_key(b, false);
        }
    }
}

std::string line_end(Rng& rng, size_t style) {
    static const char* const kEnds[] = {"\r\n", "\n", "\r"};
    static const char* const kOdd[] = {"\n\r", "\r\r\n", "\n\n", "\r\n\r\n"};
    if (style < 3) {
        return kEnds[style];
    }
    return percent(rng, 80) ? one_of(rng, kEnds) : one_of(rng, kOdd);
}

std::string join_lines(Rng& rng, const std::vector<std::string>& lines) {
    size_t style = between(rng, 0, 3);
    bool final_end = percent(rng, 85);
    std::string content;
    for (size_t i = 0; i < lines.size(); ++i) {
        content += lines[i];
        if (i + 1 < lines.size() || final_end) {
            content += line_end(rng, style);
        }
    }
    // A byte-order mark would change how the whole file is read.
    const char* const kMarks[] = {"\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"};
    for (const char* mark : kMarks) {
        if (content.compare(0, std::strlen(mark), mark) == 0) {
            content.insert(0, "\r\n");
        }
    }
    return content;
}

// ---------------------------------------------------------------- UTF-16 files

// Code page 1252 at 0x80-0x9F; the five bytes without a character stand for
// the C1 control of the same number.
const char16_t kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                  0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Characters code page 1252 lacks and for which the conversion has no
// look-alike either, so that both answer "?" (a surrogate pair gives "??").
// Characters with a look-alike (A with macron gives "A") are left out: see
// the reader's known difference in the report of this test.
const char16_t* const kNoLookAlike[] = {u"\u3042", u"\u2260", u"\u0401", u"\u2460", u"\u1E9E",
                                        u"\uFFFD", u"\u0080", u"\u0085", u"\u009F", u"\U0001F600"};

void append_unit(char16_t unit, std::string* out) {
    *out += static_cast<char>(unit & 0xFF);
    *out += static_cast<char>(unit >> 8);
}

// The same text as a UTF-16 LE file with its byte-order mark, which the call
// reads on Windows and in Wine alike. Some bytes above 0x7F become characters
// outside code page 1252, and some files end in half a character. `*text`
// becomes what the file holds in code page 1252, "?" for what it lacks.
std::string as_utf16(Rng& rng, std::string* text) {
    std::string out = "\xFF\xFE";
    std::string seen;
    for (char byte : *text) {
        unsigned char c = static_cast<unsigned char>(byte);
        if (c >= 0x80 && percent(rng, 10)) {
            for (const char16_t* u = one_of(rng, kNoLookAlike); *u != 0; ++u) {
                append_unit(*u, &out);
                seen += '?';
            }
        } else if (c >= 0x80 && c < 0xA0 && percent(rng, 2)) {
            append_unit(percent(rng, 50) ? 0xD800 : 0xDC00, &out);  // half a surrogate pair
            seen += '?';
        } else {
            append_unit(c >= 0x80 && c < 0xA0 ? kCp1252High[c - 0x80] : c, &out);
            seen += byte;
        }
    }
    *text = seen;
    if (percent(rng, 10)) {
        out += 'z';
    }
    return out;
}

// ---------------------------------------------------------------- queries

std::string spaced(Rng& rng, const std::string& name) {
    std::string out = name;
    if (percent(rng, 15)) {
        out = std::string(between(rng, 1, 2), ' ') + out;
    }
    if (percent(rng, 15)) {
        out += std::string(between(rng, 1, 2), ' ');
    }
    return out;
}

// A name close to `name` but, mostly, not in the file. It keeps the rule of
// the arguments: no white space but spaces at either end.
std::string missing_variant(Rng& rng, const std::string& name, const char* excluded) {
    std::string shorter = name.substr(0, name.empty() ? 0 : name.size() - 1);
    while (!shorter.empty() && is_white(static_cast<unsigned char>(shorter.back()))) {
        shorter.pop_back();
    }
    switch (between(rng, 0, 3)) {
        case 0:
            return name + solid_byte(rng, excluded);
        case 1:
            return shorter.empty() ? name + "x" : shorter;
        case 2:
            return "x" + name;
        default:
            return settings_word(rng);
    }
}

// The length the answer has when nothing is cut: quotes of one kind around
// the value are removed.
size_t answer_length(const std::string& value) {
    size_t n = value.size();
    bool quotes = n >= 2 && (value[0] == '"' || value[0] == '\'') && value[n - 1] == value[0];
    return quotes ? n - 2 : n;
}

// Sizes around the length of the value in view hit every cut and every fit.
uint32_t pick_size(Rng& rng, const Target& target) {
    if (target.has_value && percent(rng, 55)) {
        long wanted = static_cast<long>(answer_length(target.value)) +
                      static_cast<long>(between(rng, 0, 4)) - 1;
        return static_cast<uint32_t>(std::min<long>(std::max<long>(wanted, 1), kMaxSize));
    }
    return static_cast<uint32_t>(percent(rng, 20) ? between(rng, 1, 8) : between(rng, 1, kMaxSize));
}

Query make_query(Rng& rng, const std::vector<Target>& targets) {
    const Target& target = targets[between(rng, 0, targets.size() - 1)];
    std::string section = target.section;
    std::string key = target.key;
    size_t kind = between(rng, 0, 99);
    if (kind < 8) {
        section = missing_variant(rng, section, "]");
    } else if (kind < 20) {
        key = missing_variant(rng, key, "=");
    }
    if (!key.empty() && (key[0] == ';' || key[0] == '#')) {
        key.insert(key.begin(), 'k');  // a comment on Windows, a key in Wine
    }
    return {spaced(rng, with_case_changed(rng, section)), spaced(rng, with_case_changed(rng, key)),
            pick_size(rng, target)};
}

}  // namespace

IniFile make_file(uint64_t seed, size_t number) {
    std::seed_seq sequence{static_cast<uint32_t>(seed), static_cast<uint32_t>(seed >> 32),
                           static_cast<uint32_t>(number)};
    Rng rng(sequence);
    Builder b{&rng, {}, {}, {}, ""};
    add_preamble(&b);
    for (size_t n = between(rng, 1, 7); n > 0; --n) {
        add_header(&b);
        add_section_body(&b);
    }
    if (b.targets.empty()) {
        b.section = b.sections.back();
        add_key(&b, true);
        b.lines.push_back(b.lines.back());  // a duplicate key to go with it
    }
    IniFile file;
    file.seed = seed;
    file.number = number;
    file.text = join_lines(rng, b.lines);
    file.content = percent(rng, 4) ? as_utf16(rng, &file.text) : file.text;
    for (size_t n = between(rng, 20, 40); n > 0; --n) {
        file.queries.push_back(make_query(rng, b.targets));
    }
    return file;
}

}  // namespace ini_diff
}  // namespace iz
