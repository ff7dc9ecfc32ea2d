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

#include "support/ini_answers.h"
#include "support/profile_buffer.h"
#include "support/test_helpers.h"

#ifndef IZ_INI_CORPUS_DIR
#error "IZ_INI_CORPUS_DIR must name the folder of the INI conformance corpus"
#endif

namespace iz {
namespace {

namespace fs = std::filesystem;
using namespace ini_check;

bool parse_number(const std::string& text, uint32_t* out) {
    bool digits =
        !text.empty() && text.size() < 10 &&
        std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    *out = digits ? static_cast<uint32_t>(std::stoul(text)) : 0;
    return digits;
}

bool parse_query(const std::string& line, Query* q) {
    std::vector<std::string> fields = split_tabs(line);
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

}  // namespace
}  // namespace iz
