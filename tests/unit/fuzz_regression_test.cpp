// Every input a fuzz target ever failed on, kept under fuzz/regressions/<target>/,
// and every seed under fuzz/corpus/<target>/, through the target's own checks,
// so that an ordinary test run guards what the fuzzers found.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "fuzz/fuzz_checks.h"

#ifndef IZ_FUZZ_REGRESSIONS_DIR
#error "IZ_FUZZ_REGRESSIONS_DIR must name the fuzz/regressions folder"
#endif
#ifndef IZ_FUZZ_CORPUS_DIR
#error "IZ_FUZZ_CORPUS_DIR must name the fuzz/corpus folder"
#endif

namespace iz {
namespace {

namespace fs = std::filesystem;

using Check = std::string (*)(const uint8_t*, size_t);

const std::map<std::string, Check>& checks_by_target() {
    static const std::map<std::string, Check> checks = {
        {"ini_reader_fuzz", fuzz::check_ini_reader},
        {"load_settings_fuzz", fuzz::check_load_settings},
        {"replay_fuzz", fuzz::check_replay},
    };
    return checks;
}

std::string read_bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs every file of every target folder under `root` through its target's
// checks; files directly under `root` are notes. Returns the files run per target.
std::map<std::string, int> run_inputs(const fs::path& root) {
    std::map<std::string, int> counts;
    for (const fs::directory_entry& folder : fs::directory_iterator(root)) {
        if (!folder.is_directory()) {
            continue;
        }
        std::string target = folder.path().filename().string();
        auto check = checks_by_target().find(target);
        if (check == checks_by_target().end()) {
            ADD_FAILURE() << "no fuzz target named " << target << " for " << folder.path();
            continue;
        }
        for (const fs::directory_entry& file : fs::directory_iterator(folder.path())) {
            std::string bytes = read_bytes(file.path());
            const uint8_t* data = reinterpret_cast<const uint8_t*>(bytes.data());
            EXPECT_EQ("", check->second(data, bytes.size())) << file.path();
            ++counts[target];
        }
    }
    return counts;
}

// The seeds run with the kept reproducers, so the test has inputs for every
// target even while no reproducer is kept.
TEST(FuzzRegressions, EveryKeptReproducerAndSeedPassesItsTargetsChecks) {
    ASSERT_TRUE(fs::is_directory(IZ_FUZZ_REGRESSIONS_DIR)) << IZ_FUZZ_REGRESSIONS_DIR;
    ASSERT_TRUE(fs::is_directory(IZ_FUZZ_CORPUS_DIR)) << IZ_FUZZ_CORPUS_DIR;
    std::map<std::string, int> counts = run_inputs(IZ_FUZZ_REGRESSIONS_DIR);
    for (const auto& seeds : run_inputs(IZ_FUZZ_CORPUS_DIR)) {
        counts[seeds.first] += seeds.second;
    }
    for (const auto& target : checks_by_target()) {
        EXPECT_GT(counts[target.first], 0) << "no inputs for " << target.first;
    }
}

}  // namespace
}  // namespace iz
