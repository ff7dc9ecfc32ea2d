// The checks of the fuzz targets, kept apart from libFuzzer so that the unit
// tests can run every kept reproducer and seed through the very same code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace iz {
namespace fuzz {

// Each runs one fuzz input and returns a description of the first invariant
// it breaks, or the empty string when every invariant holds.

// Input: two bytes of buffer size (0 to 300) and source choice, then the
// section, key and default, each ended by a NUL, then the file's bytes.
std::string check_ini_reader(const uint8_t* data, size_t size);

// Input: the settings file. A first line ";<digit>" picks one of ten staged
// systems (language, registry, Windows version, temp and program folders).
std::string check_load_settings(const uint8_t* data, size_t size);

// Input: seven header bytes (where the start line is planted, how often and
// with which line ends), then the rest of the run log.
std::string check_replay(const uint8_t* data, size_t size);

// The fuzz targets' verdict: a broken invariant ends the process loudly so
// that libFuzzer keeps the input as a crash.
inline void abort_on_problem(const char* target, const std::string& problem) {
    if (!problem.empty()) {
        std::fprintf(stderr, "%s: invariant broken: %s\n", target, problem.c_str());
        std::abort();
    }
}

}  // namespace fuzz
}  // namespace iz
