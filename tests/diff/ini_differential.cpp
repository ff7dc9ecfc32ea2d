// Differential test of the POSIX INI reader against the real
// GetPrivateProfileStringA: thousands of random settings-like files and
// queries are answered by both, by the Windows call through
// profile-oracle.exe run under Wine and by iz::ini_profile_string_from_file,
// and every answer must agree byte for byte.
//
//   IZ_ORACLE     path of profile-oracle.exe (required: without it the test fails)
//   IZ_DIFF_SEED  seed of the second half of the files (default: taken from the clock)
//   IZ_DIFF_FILES files per seed (default 1200)
//   IZ_DIFF_KEEP  set to keep the scratch folder (it is kept anyway on failure)
//
// Half of the files come from a fixed seed, so that every run covers the same
// ground, and half from a seed that changes per run, so that runs add up.
// Each file is made from its own generator seeded with (seed, number), so the
// seed and the file number printed with a failure rebuild that file alone.
//
// Wine is the oracle because it is the implementation of the call at hand;
// where Wine is known to answer differently from Windows the generated files
// keep out of the way, or the difference is listed below and checked.
//
// Kept out of the files and queries (Wine and Windows are reported to differ;
// the reader's choice there is fixed by the conformance corpus, not by this test):
//   - UTF-8 and UTF-16 BE byte-order marks (a few files are UTF-16 LE, which
//     both read alike);
//   - the nameless section: no query asks for section "" (lines before the
//     first header exist, but only as comments and keys nobody asks for);
//   - a line opening with "[" that is not a header with exactly one "]",
//     and "]" inside section names;
//   - keys starting with ";" or "#" are never asked for (comment lines exist);
//   - tabs and control characters around the query arguments (spaces only);
//   - FF and 0x1A where they would be trimmed as white space (they occur only
//     between two other characters); NUL bytes; values of 64 KiB and more.
// Generated although Windows was never checked there (the reader follows Wine):
//   - a line without "=" hides a later key of the same name;
//   - VT, FF and 0x1A inside names and values.
// Kept out because the reader knowingly answers otherwise than Wine and
// Windows: in UTF-16 files, characters outside code page 1252 that have a
// look-alike in it (A with macron), which the call gives as the look-alike
// and the reader as "?".
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "emulation/ini_reader.h"
#include "support/wine_loader.h"

extern char** environ;

namespace iz {
namespace {

namespace fs = std::filesystem;
using Rng = std::mt19937_64;

const uint64_t kFixedSeed = 20261209;
const size_t kDefaultFilesPerSeed = 1200;
const uint32_t kMaxSize = 200;
const size_t kGuard = 32;              // canary bytes past the buffer
const unsigned char kFill = 0xA5;      // what the buffer holds before a call
const uint32_t kWholeValue = 1 << 20;  // a buffer no generated value fills
const size_t kMaxReported = 12;        // differences shown in full

// ---------------------------------------------------------------- escaping

const char kHex[] = "0123456789ABCDEF";

// The oracle's escape: printable ASCII but "\" as is, every other byte as \xHH.
std::string escape(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c <= 0x7E && c != '\\') {
            out += static_cast<char>(c);
        } else {
            out += std::string("\\x") + kHex[c >> 4] + kHex[c & 15];
        }
    }
    return out;
}

int hex_digit(char c) {
    const char* at = std::strchr(kHex, c >= 'a' && c <= 'f' ? c - 32 : c);
    return c != '\0' && at != nullptr ? static_cast<int>(at - kHex) : -1;
}

bool unescape(const std::string& field, std::string* out) {
    out->clear();
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\') {
            *out += field[i];
            continue;
        }
        int high = i + 3 < field.size() && field[i + 1] == 'x' ? hex_digit(field[i + 2]) : -1;
        int low = high >= 0 ? hex_digit(field[i + 3]) : -1;
        if (low < 0) {
            return false;
        }
        *out += static_cast<char>(high * 16 + low);
        i += 3;
    }
    return true;
}

// A file for a failure message, one line of the file a line: its bytes
// escaped, or for a UTF-16 LE file its characters, those above 0x7E as \uXXXX.
std::string show_file(const std::string& content) {
    bool utf16 = content.compare(0, 2, "\xFF\xFE") == 0;
    std::vector<unsigned> units;
    size_t step = utf16 ? 2 : 1;
    for (size_t i = utf16 ? 2 : 0; i + step <= content.size(); i += step) {
        unsigned low = static_cast<unsigned char>(content[i]);
        unsigned high = utf16 ? static_cast<unsigned char>(content[i + 1]) : 0;
        units.push_back(low | high << 8);
    }
    std::string out = utf16 ? "    (UTF-16 LE, byte-order mark FF FE)\n    | " : "    | ";
    for (size_t i = 0; i < units.size(); ++i) {
        unsigned u = units[i];
        bool line_end = u == '\r' || u == '\n';
        if (line_end) {
            out += u == '\r' ? "\\r" : "\\n";
        } else if (u <= 0xFF && (!utf16 || u < 0x7F)) {
            out += escape(std::string(1, static_cast<char>(u)));
        } else {
            out += std::string("\\u") + kHex[u >> 12] + kHex[(u >> 8) & 15] + kHex[(u >> 4) & 15] +
                   kHex[u & 15];
        }
        bool more_breaks = i + 1 < units.size() && (units[i + 1] == '\r' || units[i + 1] == '\n');
        if (line_end && !more_breaks && i + 1 < units.size()) {
            out += "\n    | ";
        }
    }
    if (utf16 && content.size() % 2 != 0) {
        out += " (and a last odd byte " + escape(content.substr(content.size() - 1)) + ")";
    }
    return out;
}

std::vector<std::string> split_tabs(const std::string& line) {
    std::vector<std::string> fields;
    size_t begin = 0;
    for (;;) {
        size_t tab = line.find('\t', begin);
        fields.push_back(line.substr(begin, tab - begin));
        if (tab == std::string::npos) {
            return fields;
        }
        begin = tab + 1;
    }
}

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

struct Query {
    std::string section;
    std::string key;
    uint32_t size = 0;
};

// A line the queries can aim at: its section and key as written, and the
// value after trimming (`has_value` false for a line without "=").
struct Target {
    std::string section;
    std::string key;
    bool has_value = false;
    std::string value;
};

struct IniFile {
    uint64_t seed = 0;
    size_t number = 0;
    std::string path;
    std::string content;  // the bytes of the file
    std::string text;     // the same in code page 1252
    std::vector<Query> queries;
    bool twin = false;  // the file before it less a last half character
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

// ---------------------------------------------------------------- answers

struct Answer {
    bool sound = true;  // terminated, the length returned, nothing written past the buffer
    uint32_t returned = 0;
    std::string value;
    size_t touched = 0;  // bytes changed after the terminator, within the buffer
    std::string problem;
};

bool operator==(const Answer& a, const Answer& b) {
    return a.sound && b.sound && a.returned == b.returned && a.value == b.value &&
           a.touched == b.touched;
}

std::string describe(const Answer& a) {
    if (!a.sound) {
        return "UNSOUND: " + a.problem;
    }
    return std::to_string(a.returned) + " \"" + escape(a.value) + "\"" +
           (a.touched != 0 ? " (" + std::to_string(a.touched) + " bytes after the NUL changed)"
                           : "");
}

Answer ours(const IniFile& file, const Query& q, uint32_t size) {
    std::vector<char> buffer(size + kGuard, static_cast<char>(kFill));
    Answer a;
    a.returned = ini_profile_string_from_file(file.path.c_str(), q.section.c_str(), q.key.c_str(),
                                              "", buffer.data(), size);
    size_t end = std::find(buffer.begin(), buffer.begin() + size, '\0') - buffer.begin();
    a.value.assign(buffer.data(), end);
    for (size_t i = end + 1; i < size; ++i) {
        a.touched += buffer[i] != static_cast<char>(kFill) ? 1 : 0;
    }
    bool overrun = std::any_of(buffer.begin() + size, buffer.end(),
                               [](char c) { return c != static_cast<char>(kFill); });
    a.sound = end < size && a.returned == end && !overrun;
    if (!a.sound) {
        a.problem = "returned " + std::to_string(a.returned) + ", string of " +
                    std::to_string(end) + " bytes" + (end < size ? "" : " unterminated") +
                    (overrun ? ", wrote past the buffer" : "");
    }
    return a;
}

bool parse_answer(const std::string& line, Answer* a) {
    std::vector<std::string> fields = split_tabs(line);
    if (fields[0] == "X" && fields.size() == 2) {
        a->sound = false;
        return unescape(fields[1], &a->problem);
    }
    if (fields[0] != "A" || fields.size() != 4) {
        return false;
    }
    a->returned = static_cast<uint32_t>(std::strtoul(fields[1].c_str(), nullptr, 10));
    a->touched = static_cast<size_t>(std::strtoul(fields[3].c_str(), nullptr, 10));
    return unescape(fields[2], &a->value);
}

// ---------------------------------------------------------------- listed Wine deviations

// A query on which Wine and the reader differ, with all there is to judge it.
struct Difference {
    const IniFile* file;
    const Query* query;
    Answer wine;
    Answer reader;
    Answer whole;         // the reader's answer with a buffer no value fills
    const IniFile* twin;  // the same file less its last byte, if it was made
    Answer twin_reader;   // the reader's answer for the twin
};

// Rule 26 of RULES.md: Wine cuts a quoted value before it removes the
// quotes, so with a buffer of exactly the inner length + 1 it loses the last
// character: q="abcdef" with nSize 7 gives "abcde" in Wine. The documented
// order (quotes discarded, then the cut) gives "abcdef", and that is what the
// reader answers; Windows was never seen to lose the character.
bool quoted_value_cut(const Difference& d) {
    const std::string& whole = d.whole.value;
    uint32_t size = d.query->size;
    bool in_quotes = d.file->text.find('"' + whole + '"') != std::string::npos ||
                     d.file->text.find('\'' + whole + '\'') != std::string::npos;
    bool fits_exactly = size >= 2 && whole.size() == size - 1;
    bool documented = d.reader.sound && d.reader.value == whole && d.reader.touched == 0;
    bool wine_quirk = d.wine.sound && d.wine.value == whole.substr(0, size - 2) &&
                      d.wine.returned == size - 2 && d.wine.touched == 0;
    return in_quotes && fits_exactly && documented && wine_quirk;
}

bool is_utf16(const std::string& content) {
    return content.compare(0, 2, "\xFF\xFE") == 0;
}

// A UTF-16 file of odd length ends in half a character. Wine takes the byte
// after its copy of the file as the other half: it reads past its buffer, and
// the answer changes with what the heap holds there ("abz" or "ab?" for
// "ab" + "z", even between two calls). That cannot be an answer to match. The
// reader drops the half character, so it must answer as it does for the same
// file less its last byte, the twin, whose answers are compared with Wine's.
bool half_character_at_end(const Difference& d) {
    bool odd_utf16 = is_utf16(d.file->content) && d.file->content.size() % 2 != 0;
    return odd_utf16 && d.twin != nullptr && d.reader == d.twin_reader;
}

struct Deviation {
    const char* name;
    const char* reason;
    bool (*applies)(const Difference&);
};

const Deviation kDeviations[] = {
    {"quoted-value-cut",
     "Wine removes the closing quote after cutting the value and loses a character when nSize is "
     "the inner length + 1; the reader discards the quotes first, as documented",
     quoted_value_cut},
    {"utf16-half-character",
     "Wine reads the byte after its buffer as the missing half of a UTF-16 file's last "
     "character; the reader drops the half character",
     half_character_at_end},
};

// ---------------------------------------------------------------- running the oracle

uint64_t run_seed() {
    const char* text = std::getenv("IZ_DIFF_SEED");
    if (text != nullptr && *text != '\0') {
        return std::strtoull(text, nullptr, 0);
    }
    uint64_t now =
        static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
    return (now ^ (static_cast<uint64_t>(getpid()) << 40)) % 1000000000000ULL;
}

size_t files_per_seed() {
    const char* text = std::getenv("IZ_DIFF_FILES");
    size_t count = text != nullptr ? std::strtoul(text, nullptr, 10) : 0;
    return count > 0 ? count : kDefaultFilesPerSeed;
}

std::string windows_path(const fs::path& path) {
    std::string text = fs::absolute(path).string();
    std::replace(text.begin(), text.end(), '/', '\\');
    return "Z:" + text;
}

bool write_file(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

std::string read_text(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Wine picks the ANSI code page from the locale: en_US gives code page 1252.
std::vector<std::string> wine_environment() {
    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        std::string item = *entry;
        if (item.compare(0, 3, "LC_") != 0 && item.compare(0, 5, "LANG=") != 0 &&
            item.compare(0, 9, "WINEDEBUG") != 0) {
            env.push_back(item);
        }
    }
    env.push_back("LANG=en_US.UTF-8");
    env.push_back("WINEDEBUG=-all");
    return env;
}

// Runs `wine <oracle> <batch> <answers>`; the exit status, or a description
// of why it did not run.
int run_oracle(const std::string& oracle, const fs::path& batch, const fs::path& answers,
               std::string* error) {
    std::vector<std::string> args = {iz_test::wine_loader(), windows_path(oracle),
                                     windows_path(batch), windows_path(answers)};
    std::vector<std::string> env = wine_environment();
    std::vector<char*> argv;
    std::vector<char*> envp;
    for (std::string& a : args) {
        argv.push_back(&a[0]);
    }
    for (std::string& e : env) {
        envp.push_back(&e[0]);
    }
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    pid_t pid = 0;
    int failed = posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data());
    if (failed != 0) {
        *error = std::string("cannot start wine: ") + std::strerror(failed);
        return -1;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status)) {
        *error = "the oracle was killed by signal " + std::to_string(WTERMSIG(status));
        return -1;
    }
    return WEXITSTATUS(status);
}

std::string batch_text(const std::vector<IniFile>& files) {
    std::string batch = "IZORACLE1\n";
    for (const IniFile& file : files) {
        batch += "F\t" + escape(windows_path(file.path)) + "\n";
        for (const Query& q : file.queries) {
            batch += "Q\t" + escape(q.section) + "\t" + escape(q.key) + "\t" +
                     std::to_string(q.size) + "\n";
        }
    }
    return batch;
}

// The oracle's answers in query order; false with `error` set when the
// answers file is incomplete or malformed.
bool read_answers(const fs::path& path, size_t expected, std::vector<Answer>* answers,
                  std::string* error) {
    std::string text = read_text(path);
    std::vector<std::string> lines;
    size_t begin = 0;
    while (begin < text.size()) {
        size_t end = std::min(text.find('\n', begin), text.size());
        lines.push_back(text.substr(begin, end - begin));
        begin = end + 1;
    }
    if (lines.size() != expected + 2 || lines.front() != "IZANSWERS1" ||
        lines.back() != "END\t" + std::to_string(expected)) {
        *error = "the answers file holds " + std::to_string(lines.size()) + " lines for " +
                 std::to_string(expected) + " queries";
        return false;
    }
    for (size_t i = 1; i + 1 < lines.size(); ++i) {
        Answer a;
        if (!parse_answer(lines[i], &a)) {
            *error = "malformed answer line " + std::to_string(i + 1) + ": " + escape(lines[i]);
            return false;
        }
        answers->push_back(a);
    }
    return true;
}

// ---------------------------------------------------------------- the comparison

struct Seeds {
    uint64_t fixed;
    uint64_t run;
};

std::string seeds_text(const Seeds& s) {
    return "seeds: fixed " + std::to_string(s.fixed) + ", per run " + std::to_string(s.run) +
           " (replay with IZ_DIFF_SEED=" + std::to_string(s.run) + ")";
}

struct Tally {
    size_t queries = 0;
    size_t found = 0;  // answers that are not empty
    size_t cut = 0;    // answers of nSize - 1 bytes
    size_t differences = 0;
    std::map<std::string, size_t> deviations;
};

std::string report(const Seeds& seeds, const Difference& d) {
    return seeds_text(seeds) + "\nfile " + std::to_string(d.file->number) + " of seed " +
           std::to_string(d.file->seed) + ": " + d.file->path + "\n" + show_file(d.file->content) +
           "\nquery: section \"" + escape(d.query->section) + "\" key \"" + escape(d.query->key) +
           "\" nSize " + std::to_string(d.query->size) + "\nWine:   " + describe(d.wine) +
           "\nreader: " + describe(d.reader) + "\nreader, whole value: " + describe(d.whole) +
           (d.twin != nullptr ? "\nreader, file less its last byte: " + describe(d.twin_reader)
                              : "");
}

void compare_one(const Seeds& seeds, const IniFile& file, const Query& q, const Answer& wine,
                 const IniFile* twin, Tally* tally) {
    ++tally->queries;
    tally->found += wine.sound && !wine.value.empty() ? 1 : 0;
    tally->cut += wine.sound && q.size >= 2 && wine.returned == q.size - 1 ? 1 : 0;
    Answer reader = ours(file, q, q.size);
    if (reader == wine) {
        return;
    }
    Difference d{&file, &q, wine, reader, ours(file, q, kWholeValue), twin, {}};
    if (twin != nullptr) {
        d.twin_reader = ours(*twin, q, q.size);
    }
    for (const Deviation& deviation : kDeviations) {
        if (deviation.applies(d)) {
            ++tally->deviations[deviation.name];
            return;
        }
    }
    if (++tally->differences <= kMaxReported) {
        ADD_FAILURE() << "the reader differs from GetPrivateProfileStringA under Wine\n"
                      << report(seeds, d);
    }
}

std::vector<IniFile> make_files(const Seeds& seeds, const fs::path& folder) {
    std::vector<IniFile> files;
    size_t count = files_per_seed();
    for (uint64_t seed : {seeds.fixed, seeds.run}) {
        for (size_t number = 0; number < count; ++number) {
            files.push_back(make_file(seed, number));
            IniFile& file = files.back();
            std::string name = (seed == seeds.fixed ? "f" : "r") + std::to_string(number) + ".ini";
            file.path = (folder / name).string();
            if (is_utf16(file.content) && file.content.size() % 2 != 0) {
                IniFile twin = file;
                twin.content.pop_back();
                twin.twin = true;
                twin.path = (folder / ("even-" + name)).string();
                files.push_back(twin);
            }
        }
    }
    return files;
}

void print_tally(const Seeds& seeds, const std::vector<IniFile>& files, const Tally& tally) {
    size_t utf16 = std::count_if(files.begin(), files.end(),
                                 [](const IniFile& file) { return is_utf16(file.content); });
    size_t twins =
        std::count_if(files.begin(), files.end(), [](const IniFile& file) { return file.twin; });
    std::printf(
        "%zu files (%zu of them UTF-16, %zu of those a copy less a half character), %zu queries "
        "(%zu found a value, %zu were cut); %zu differences\n",
        files.size(), utf16, twins, tally.queries, tally.found, tally.cut, tally.differences);
    for (const Deviation& deviation : kDeviations) {
        auto at = tally.deviations.find(deviation.name);
        std::printf("listed Wine deviation %s: %zu queries compared with the documented answer\n",
                    deviation.name, at != tally.deviations.end() ? at->second : 0);
    }
    std::printf("%s\n", seeds_text(seeds).c_str());
    std::fflush(stdout);
}

TEST(IniDifferential, ReaderAnswersLikeTheWindowsCall) {
    const Seeds seeds{kFixedSeed, run_seed()};
    std::printf("%s\n", seeds_text(seeds).c_str());
    std::fflush(stdout);
    const char* oracle = std::getenv("IZ_ORACLE");
    ASSERT_TRUE(oracle != nullptr && *oracle != '\0')
        << "IZ_ORACLE must name profile-oracle.exe; without the oracle nothing is compared";
    ASSERT_TRUE(fs::is_regular_file(oracle)) << "IZ_ORACLE: no such file: " << oracle;

    fs::path folder = fs::temp_directory_path() /
                      ("iz-ini-diff-" + std::to_string(getpid()) + "-" + std::to_string(seeds.run));
    fs::remove_all(folder);
    ASSERT_TRUE(fs::create_directories(folder)) << folder;
    std::vector<IniFile> files = make_files(seeds, folder);
    size_t query_count = 0;
    for (const IniFile& file : files) {
        ASSERT_TRUE(write_file(file.path, file.content)) << file.path;
        query_count += file.queries.size();
    }
    fs::path batch = folder / "batch.txt";
    fs::path answers_file = folder / "answers.txt";
    ASSERT_TRUE(write_file(batch, batch_text(files)));

    std::string error;
    int status = run_oracle(oracle, batch, answers_file, &error);
    ASSERT_EQ(status, 0) << "the oracle failed " << error << "; " << seeds_text(seeds);
    std::vector<Answer> answers;
    ASSERT_TRUE(read_answers(answers_file, query_count, &answers, &error))
        << error << "; " << seeds_text(seeds);

    Tally tally;
    size_t next = 0;
    for (size_t f = 0; f < files.size(); ++f) {
        const IniFile& file = files[f];
        const IniFile* twin = f + 1 < files.size() && files[f + 1].twin ? &files[f + 1] : nullptr;
        for (size_t i = 0; i < file.queries.size(); ++i) {
            compare_one(seeds, file, file.queries[i], answers[next + i], twin, &tally);
        }
        next += file.queries.size();
    }
    print_tally(seeds, files, tally);
    EXPECT_EQ(tally.differences, 0u)
        << "differences (the first " << kMaxReported << " are shown above); " << seeds_text(seeds)
        << "; files kept in " << folder;
    // A generator that stopped reaching the keys would make the comparison
    // hollow: many queries must find a value, and many must be cut.
    EXPECT_GT(tally.found * 5, tally.queries * 2) << seeds_text(seeds);
    EXPECT_GT(tally.cut * 10, tally.queries) << seeds_text(seeds);
    if (!HasFailure() && std::getenv("IZ_DIFF_KEEP") == nullptr) {
        fs::remove_all(folder);
    }
}

}  // namespace
}  // namespace iz
