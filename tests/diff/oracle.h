// The other side of the differential test: profile-oracle.exe under Wine,
// which answers a batch of queries with the Windows call, and the answers
// it writes back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "diff/random_ini.h"

namespace iz {
namespace ini_diff {

struct Answer {
    bool sound = true;  // terminated, the length returned, nothing written past the buffer
    uint32_t returned = 0;
    std::string value;
    size_t touched = 0;  // bytes changed after the terminator, within the buffer
    std::string problem;
};

bool operator==(const Answer& a, const Answer& b);

std::string describe(const Answer& a);

bool write_file(const std::filesystem::path& path, const std::string& bytes);

// The batch file that asks every query of `files`.
std::string batch_text(const std::vector<IniFile>& files);

// Runs `wine <oracle> <batch> <answers>`; the exit status, or a description
// of why it did not run.
int run_oracle(const std::string& oracle, const std::filesystem::path& batch,
               const std::filesystem::path& answers, std::string* error);

// The oracle's answers in query order; false with `error` set when the
// answers file is incomplete or malformed.
bool read_answers(const std::filesystem::path& path, size_t expected, std::vector<Answer>* answers,
                  std::string* error);

}  // namespace ini_diff
}  // namespace iz
