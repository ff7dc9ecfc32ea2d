// The INI reader against the conformance corpus in tests/ini-conformance,
// whose answers were observed from the Windows call, and against the rules
// the corpus does not reach: tiny buffers, long lines, odd encodings, files
// that cannot be read, and random bytes that must never overrun the buffer.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/posix/ini_reader.h"

#ifndef IZ_INI_CORPUS_DIR
#error "IZ_INI_CORPUS_DIR must name the folder of the INI conformance corpus"
#endif

namespace iz {
namespace {

namespace fs = std::filesystem;

const size_t kSlack = 64;  // canary bytes past the buffer the reader is given

struct Query {
    std::string section;
    std::string key;
    uint32_t size = 0;
    uint32_t expected_return = 0;
    std::string expected_value;
};

// Where the reader takes the file from: its bytes (null when it is missing),
// or, when `path` is set, the file system.
struct Source {
    const std::string* content = nullptr;
    bool unreadable = false;
    const char* path = nullptr;
};

// What came back, with a description of any misuse of the buffer.
struct Answer {
    uint32_t returned = 0;
    std::string value;
    std::string problem;
};

std::string escaped(const std::string& bytes) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        if (c == '\\' || c < 0x20 || c > 0x7E) {
            out += std::string("\\x") + kHex[c >> 4] + kHex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

const char kHexDigits[] = "0123456789abcdefABCDEF";

// The corpus escapes: \t \n \r \\ and \xHH.
bool unescape(const std::string& field, std::string* out) {
    out->clear();
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\') {
            *out += field[i];
            continue;
        }
        char kind = ++i < field.size() ? field[i] : '\0';
        if (kind == 't' || kind == 'n' || kind == 'r' || kind == '\\') {
            *out += kind == 't' ? '\t' : kind == 'n' ? '\n' : kind == 'r' ? '\r' : '\\';
        } else if (kind == 'x' && i + 2 < field.size() &&
                   field.find_first_not_of(kHexDigits, i + 1) >= i + 3) {
            *out += static_cast<char>(std::stoi(field.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            return false;
        }
    }
    return true;
}

bool parse_number(const std::string& text, uint32_t* out) {
    bool digits =
        !text.empty() && text.size() < 10 &&
        std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    *out = digits ? static_cast<uint32_t>(std::stoul(text)) : 0;
    return digits;
}

bool parse_query(const std::string& line, Query* q) {
    std::vector<std::string> fields(1);
    for (char c : line) {
        if (c == '\t') {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields.size() == 5 && unescape(fields[0], &q->section) && unescape(fields[1], &q->key) &&
           parse_number(fields[2], &q->size) && parse_number(fields[3], &q->expected_return) &&
           unescape(fields[4], &q->expected_value);
}

// The rows of a .tsv file; a row that does not parse is reported in `failures`.
std::vector<Query> read_queries(const fs::path& file, std::string* failures) {
    std::vector<Query> queries;
    std::ifstream in(file, std::ios::binary);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        Query q;
        if (parse_query(line, &q)) {
            queries.push_back(q);
        } else {
            *failures += file.string() + ":" + std::to_string(number) + ": bad row\n";
        }
    }
    return queries;
}

uint32_t call(const Source& source, const Query& q, const char* fallback, char* out) {
    const char* section = q.section.c_str();
    const char* key = q.key.c_str();
    if (source.path != nullptr) {
        return ini_profile_string_from_file(source.path, section, key, fallback, out, q.size);
    }
    return ini_profile_string(source.content, source.unreadable, section, key, fallback, out,
                              q.size);
}

// Asks twice, the buffer pre-filled with two different canaries, as the probe
// that made the corpus did: the answer must not depend on the buffer's old
// content, and no byte past the terminator may change.
Answer ask(const Source& source, const Query& q, const char* fallback) {
    Answer answers[2];
    const char canaries[2] = {static_cast<char>(0xA5), 0x5A};
    for (int round = 0; round < 2; ++round) {
        std::vector<char> buffer(q.size + kSlack, canaries[round]);
        Answer& a = answers[round];
        a.returned = call(source, q, fallback, buffer.data());
        if (q.size == 0 ? a.returned != 0 : a.returned >= q.size) {
            a.problem = " return value out of range;";
            continue;
        }
        size_t kept = q.size == 0 ? 0 : a.returned;
        a.value.assign(buffer.data(), kept);
        if (q.size > 0 && (buffer[kept] != '\0' || std::strlen(a.value.c_str()) != kept)) {
            a.problem = " value not terminated where the return value says;";
        }
        if (std::any_of(buffer.begin() + (q.size == 0 ? 0 : kept + 1), buffer.end(),
                        [&](char c) { return c != canaries[round]; })) {
            a.problem += " byte written past the terminator or the buffer;";
        }
    }
    if (answers[0].returned != answers[1].returned || answers[0].value != answers[1].value) {
        answers[0].problem += " answer depends on the buffer's previous content;";
    }
    return answers[0];
}

std::string describe(const Query& q) {
    return "[" + escaped(q.section) + "] " + escaped(q.key) + " size " + std::to_string(q.size);
}

// Empty when `source` answers `q` with `ret` and `value`, keeping to the buffer.
std::string verify(const std::string& where, const Source& source, const Query& q,
                   const char* fallback, uint32_t ret, const std::string& value) {
    Answer got = ask(source, q, fallback);
    if (got.problem.empty() && got.returned == ret && got.value == value) {
        return "";
    }
    return where + " " + describe(q) + ": expected " + std::to_string(ret) + " \"" +
           escaped(value) + "\", got " + std::to_string(got.returned) + " \"" + escaped(got.value) +
           "\"" + got.problem;
}

std::vector<fs::path> corpus_cases() {
    std::vector<fs::path> cases;
    std::error_code error;
    std::error_code ignored;
    for (fs::directory_iterator it(fs::path(IZ_INI_CORPUS_DIR) / "cases", error), end;
         !error && it != end; it.increment(error)) {
        if (it->is_directory(ignored)) {
            cases.push_back(it->path());
        }
    }
    std::sort(cases.begin(), cases.end());
    return cases;
}

// The cases with a locale file hold what the call answers under code page 932,
// for the Windows build; this reader answers as under code page 1252.
bool is_code_page_1252_case(const fs::path& dir) {
    return !fs::exists(dir / "locale");
}

// A case's settings.ini: missing, a folder, or bytes.
struct CaseFile {
    std::string path;
    std::string bytes;
    bool exists = false;
    bool folder = false;
};

CaseFile load_case_file(const fs::path& path) {
    CaseFile file;
    file.path = path.string();
    file.exists = fs::exists(path);
    file.folder = fs::is_directory(path);
    if (file.exists && !file.folder) {
        std::ifstream in(path, std::ios::binary);
        file.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return file;
}

// Checks the answer both from the file's bytes and through its path.
void check(const std::string& where, const CaseFile& file, const Query& q, uint32_t ret,
           const std::string& value, std::string* failures) {
    Source by_bytes{file.exists && !file.folder ? &file.bytes : nullptr, file.folder, nullptr};
    Source by_path{nullptr, false, file.path.c_str()};
    for (const Source& source : {by_bytes, by_path}) {
        std::string via = source.path != nullptr ? " (file)" : " (bytes)";
        std::string failure = verify(where + via, source, q, "", ret, value);
        *failures += failure.empty() ? "" : failure + "\n";
    }
}

TEST(IniConformance, AnswersEveryQueryOfTheCorpus) {
    std::vector<fs::path> cases = corpus_cases();
    ASSERT_FALSE(cases.empty()) << "no cases under " << IZ_INI_CORPUS_DIR << "/cases";
    std::string failures;
    size_t checked = 0;
    for (const fs::path& dir : cases) {
        if (!is_code_page_1252_case(dir)) {
            continue;
        }
        std::string name = dir.filename().string();
        std::vector<Query> queries = read_queries(dir / "queries.tsv", &failures);
        if (queries.empty()) {
            failures += name + ": no queries\n";
        }
        CaseFile file = load_case_file(dir / "settings.ini");
        for (const Query& q : queries) {
            check(name, file, q, q.expected_return, q.expected_value, &failures);
            ++checked;
        }
    }
    EXPECT_GT(checked, 0u);
    EXPECT_EQ(failures, "") << "in " << checked << " queries";
    RecordProperty("queries_checked", static_cast<int>(checked));
}

// Wine cuts a quoted value before removing the quotes and loses a character;
// the reader removes the quotes first. The documented answer is the complete
// value of the same key, as another row of queries.tsv gives it, cut to size - 1.
TEST(IniConformance, CutsQuotedValuesAfterRemovingTheQuotes) {
    std::string failures;
    size_t rows = 0;
    for (const fs::path& dir : corpus_cases()) {
        if (!is_code_page_1252_case(dir) || !fs::exists(dir / "wine-quirk.tsv")) {
            continue;
        }
        std::string name = dir.filename().string() + " wine-quirk";
        std::vector<Query> queries = read_queries(dir / "queries.tsv", &failures);
        CaseFile file = load_case_file(dir / "settings.ini");
        for (const Query& quirk : read_queries(dir / "wine-quirk.tsv", &failures)) {
            ++rows;
            auto complete = std::find_if(queries.begin(), queries.end(), [&](const Query& q) {
                return q.section == quirk.section && q.key == quirk.key &&
                       q.expected_return + 1 < q.size;
            });
            if (complete == queries.end() || quirk.size == 0) {
                failures += name + ": no complete answer for " + describe(quirk) + "\n";
                continue;
            }
            std::string value = complete->expected_value.substr(0, quirk.size - 1);
            uint32_t ret = static_cast<uint32_t>(value.size());
            if (ret == quirk.expected_return && value == quirk.expected_value) {
                failures += name + ": documented answer equals Wine's, " + describe(quirk) + "\n";
            }
            check(name, file, quirk, ret, value, &failures);
        }
    }
    EXPECT_GT(rows, 0u) << "no wine-quirk.tsv rows under " << IZ_INI_CORPUS_DIR;
    EXPECT_EQ(failures, "");
}

// --- Rules the corpus does not reach -------------------------------------

struct Row {
    const char* name;
    std::string content;  // "<missing>" and "<folder>" stand for those states
    const char* fallback;
    Query q;
};

void check_rows(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
        bool folder = row.content == "<folder>";
        bool missing = folder || row.content == "<missing>";
        Source source{missing ? nullptr : &row.content, folder, nullptr};
        const Query& q = row.q;
        EXPECT_EQ(verify(row.name, source, q, row.fallback, q.expected_return, q.expected_value),
                  "");
    }
}

const std::string kSimple = "[s]\r\nk=abcdef\r\nq=\"quoted\"\r\n";

TEST(IniReader, BufferSizesAndDefaults) {
    check_rows({
        {"size 0 writes nothing", kSimple, "", {"s", "k", 0, 0, ""}},
        {"size 0 with a default", "<missing>", "DEF", {"s", "k", 0, 0, ""}},
        {"size 1 gives the empty string", kSimple, "", {"s", "k", 1, 0, ""}},
        {"size 1 with a default", kSimple, "DEF", {"s", "x", 1, 0, ""}},
        {"size 2 gives one byte", kSimple, "", {"s", "k", 2, 1, "a"}},
        {"quotes go before the cut", kSimple, "", {"s", "q", 7, 6, "quoted"}},
        {"quoted value cut", kSimple, "", {"s", "q", 4, 3, "quo"}},
        {"default without trailing spaces", kSimple, "DEF   ", {"s", "x", 9, 3, "DEF"}},
        {"default keeps a trailing tab", kSimple, "DEF\t", {"s", "x", 9, 4, "DEF\t"}},
        {"default keeps leading spaces", kSimple, "  DEF", {"s", "x", 9, 5, "  DEF"}},
        {"default cut like a value", kSimple, "DEF", {"s", "x", 3, 2, "DE"}},
        {"default loses quotes", kSimple, "\"DEF\" ", {"s", "x", 9, 3, "DEF"}},
        {"quoted default not cut short", kSimple, "'DEF'", {"s", "x", 4, 3, "DEF"}},
        {"missing file: default loses quotes", "<missing>", "\"D\"", {"s", "k", 9, 1, "D"}},
        {"folder: default as given", "<folder>", "\"D\"  ", {"s", "k", 9, 3, "\"D\""}},
        {"null default", kSimple, nullptr, {"s", "x", 9, 0, ""}},
        {"found value wins over the default", kSimple, "DEF", {"S", "K", 9, 6, "abcdef"}},
    });
}

TEST(IniReader, LongLinesAndNames) {
    const std::string big(100000, 'x');
    const std::string value = "[s]\nk=" + big + "\n";
    const std::string s32766 = big.substr(0, 32766);
    const std::string s32767 = big.substr(0, 32767);
    check_rows({
        {"100000-byte value whole", value, "", {"s", "k", 100001, 100000, big}},
        {"100000-byte value cut", value, "", {"s", "k", 16, 15, big.substr(0, 15)}},
        {"100000-byte line before", "[s]\r\n" + big + "\r\nk=v", "", {"s", "k", 8, 1, "v"}},
        {"100000-byte last line", "[s]\nk=v\n" + big, "", {"s", "k", 8, 1, "v"}},
        {"100000-byte key line", "[s]\n" + big + "=v\nk=w", "", {"s", "k", 8, 1, "w"}},
        {"100000 NUL bytes", "[s]\nk=" + std::string(100000, '\0'), "D", {"s", "k", 8, 0, ""}},
        {"32766-byte section", "[" + s32766 + "]\nk=v", "D", {s32766, "k", 8, 1, "v"}},
        {"32767-byte section", "[" + s32767 + "]\nk=v", "D", {s32767, "k", 8, 1, "D"}},
    });
}

TEST(IniReader, ByteOrderMarks) {
    const std::string le("\xFF\xFE[\0s\0]\0\n\0k\0=\0\xAC\x20\x01\xD8\x00\xDC\x80\0", 22);
    const std::string utf8 = "\xEF\xBB\xBF";
    check_rows({
        {"UTF-16 LE: euro, pair, C1", le, "", {"s", "k", 9, 4, "\x80???"}},
        {"UTF-16 LE: odd last byte dropped", le + "x", "", {"s", "k", 9, 4, "\x80???"}},
        {"UTF-16 BE, unassigned byte",
         std::string("\xFE\xFF\0k\0=\0\x81", 8),
         "",
         {"", "k", 9, 1, "\x81"}},
        {"mark only", "\xFF\xFE", "D", {"", "k", 9, 1, "D"}},
        {"half a UTF-8 mark is code page 1252", "\xEF\xBBk=v", "", {"", "\xEF\xBBk", 9, 1, "v"}},
        {"UTF-8: bad bytes", utf8 + "k=a\x80\xC3(\xED\xA0\x80z", "", {"", "k", 20, 8, "a?\?(???z"}},
        {"UTF-8: cp1252 argument", utf8 + "[\xE2\x82\xAC]\nk=e", "", {"\x80", "k", 9, 1, "e"}},
        {"UTF-8: 4 bytes, 2 units", utf8 + "k=\xF0\x9F\x98\x80.", "", {"", "k", 9, 3, "??."}},
    });
}

fs::path scratch_folder() {
#ifdef IZ_TEST_SCRATCH_DIR
    fs::path base(IZ_TEST_SCRATCH_DIR);
#else
    fs::path base = fs::temp_directory_path();
#endif
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    fs::path dir = base / ("iz-ini-reader-" + std::to_string(stamp));
    fs::create_directories(dir / "folder");
    std::ofstream(dir / "file.ini", std::ios::binary) << "[s]\nk=\"v\"\n";
    std::ofstream(dir / "plain", std::ios::binary) << "x";
    return dir;
}

// A missing file gives the default without quotes; a folder, a file in a
// missing folder or an empty path give it as it is.
TEST(IniReader, FilesThatCannotBeRead) {
    const fs::path dir = scratch_folder();
    const std::pair<fs::path, std::string> rows[] = {
        {dir / "file.ini", "v"},      {dir / "missing.ini", "D"}, {dir / "no-folder/x.ini", "'D'"},
        {dir / "plain/x.ini", "'D'"}, {dir / "folder", "'D'"},    {"", "'D'"},
    };
    for (const auto& row : rows) {
        std::string path = row.first.string();
        Query q{"s", "k", 16, 0, ""};
        Source source{nullptr, false, path.c_str()};
        uint32_t ret = static_cast<uint32_t>(row.second.size());
        EXPECT_EQ(verify("from file", source, q, "'D'", ret, row.second), "");
    }
    EXPECT_EQ(ini_profile_string_from_file(nullptr, "s", "k", "D", nullptr, 0), 0u);
    std::error_code ignored;
    fs::remove_all(dir, ignored);
}

// Mostly the bytes that mean something to the parser, some of them random.
std::string random_text(std::mt19937& rng, size_t length) {
    static const char kBits[] = "=\"' \t\x0B\x1A[];vV\x80\xFF\0";
    std::string text;
    for (size_t i = 0; i < length; ++i) {
        text += rng() % 8 == 0 ? static_cast<char>(rng()) : kBits[rng() % (sizeof kBits - 1)];
    }
    return text;
}

// A quarter of the files are random bytes; the others random lines of the
// shapes the parser knows, so that many hold the section and key asked for.
std::string random_file(std::mt19937& rng) {
    static const char* const kNames[] = {"s", " S ", "k", "K\t", "", "'k'", "[k"};
    static const char* const kStarts[] = {"", "", "", "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"};
    static const char* const kBreaks[] = {"\r\n", "\n", "\r", "\n\r", ""};
    std::string bytes = kStarts[rng() % 6];
    if (rng() % 4 == 0) {
        for (size_t length = rng() % 2000; length > 0; --length) {
            bytes += static_cast<char>(rng());
        }
        return bytes;
    }
    for (size_t lines = rng() % 12; lines > 0; --lines) {
        std::string name = kNames[rng() % 7];
        std::string text = random_text(rng, rng() % 16 == 0 ? rng() % 3000 : rng() % 12);
        unsigned shape = rng() % 5;
        bytes += shape == 0   ? "[" + name + (rng() % 4 == 0 ? "" : "]")
                 : shape == 1 ? name + "=" + text
                 : shape == 2 ? name + " = '" + text + "'"
                 : shape == 3 ? name
                              : text;
        bytes += kBreaks[rng() % 5];
    }
    return bytes;
}

// Besides keeping to the buffer, a smaller buffer must give a prefix of the
// whole answer: quotes are never removed after a cut.
TEST(IniReader, RandomFilesNeverOverrunAndCutsArePrefixes) {
    static const char* const kSections[] = {"s", "", " S ", "[k", "k"};
    static const char* const kKeys[] = {"k", "", "s", "K ", "'k'"};
    static const char* const kDefaults[] = {"", "\"d\"", "dflt  "};
    static const uint32_t kSizes[] = {0, 1, 2, 3, 7};
    std::mt19937 rng(20240611u);
    for (int round = 0; round < 2000; ++round) {
        std::string bytes = random_file(rng);
        Source source{&bytes, false, nullptr};
        const char* fallback = kDefaults[rng() % 3];
        for (int query = 0; query < 25; ++query) {
            Query q{kSections[query / 5], kKeys[query % 5], 4096, 0, ""};
            Answer whole = ask(source, q, fallback);
            ASSERT_EQ(whole.problem, "") << "round " << round << ": " << escaped(bytes);
            for (uint32_t size : kSizes) {
                q.size = size;
                std::string cut = size == 0 ? "" : whole.value.substr(0, size - 1);
                uint32_t ret = static_cast<uint32_t>(cut.size());
                ASSERT_EQ(verify("round " + std::to_string(round), source, q, fallback, ret, cut),
                          "")
                    << escaped(bytes);
            }
        }
    }
}

}  // namespace
}  // namespace iz
