// Random settings-like INI files and queries for the differential test. Each
// file comes from its own generator seeded with (seed, number), so that the
// two numbers printed with a failure rebuild that file alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace iz {
namespace ini_diff {

using Rng = std::mt19937_64;

const uint32_t kMaxSize = 200;  // the largest buffer a query asks with

struct Query {
    std::string section;
    std::string key;
    uint32_t size = 0;
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

// The file `number` of `seed`, with its queries; `path` is left to the caller.
IniFile make_file(uint64_t seed, size_t number);

}  // namespace ini_diff
}  // namespace iz
