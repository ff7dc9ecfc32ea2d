// The INI reader on the rules the conformance corpus does not reach: tiny
// buffers, long lines, odd encodings, files that cannot be read, and random
// bytes that must never overrun the buffer.
#include "emulation/ini_reader.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "support/ini_answers.h"
#include "support/profile_buffer.h"
#include "support/test_helpers.h"

namespace iz {
namespace {

namespace fs = std::filesystem;
using namespace ini_check;

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
            ASSERT_EQ(whole.problem, "") << "round " << round << ": " << escape(bytes);
            for (uint32_t size : kSizes) {
                q.size = size;
                std::string cut = size == 0 ? "" : whole.value.substr(0, size - 1);
                uint32_t ret = static_cast<uint32_t>(cut.size());
                ASSERT_EQ(verify("round " + std::to_string(round), source, q, fallback, ret, cut),
                          "")
                    << escape(bytes);
            }
        }
    }
}

}  // namespace
}  // namespace iz
