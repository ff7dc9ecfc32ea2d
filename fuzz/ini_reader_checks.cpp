// Buffer discipline of the INI reader: whatever the file and the query, the
// answer fits the buffer, is terminated where the return value says, leaves
// every byte past the buffer alone and is the same text a larger buffer gets,
// only cut.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz/fuzz_checks.h"
#include "support/profile_buffer.h"

namespace iz {
namespace fuzz {

namespace {

const uint32_t kLargestSize = 300;
const size_t kCanaryBytes = 64;
const unsigned char kCanary = 0xA5;
const unsigned char kFill = 0x5A;

enum class Source { Content, Missing, Unreadable };

struct IniQuery {
    uint32_t size = 0;
    Source source = Source::Content;
    std::string section;
    std::string key;
    std::string fallback;
    std::string content;
};

// The bytes from *pos up to the next NUL (or the end); *pos moves past the NUL.
std::string take_field(const uint8_t* data, size_t size, size_t* pos) {
    const uint8_t* begin = data + *pos;
    const uint8_t* end = std::find(begin, data + size, 0);
    *pos = end == data + size ? size : static_cast<size_t>(end - data) + 1;
    return std::string(begin, end);
}

IniQuery parse_query(const uint8_t* data, size_t size) {
    IniQuery query;
    if (size < 2) {
        return query;
    }
    query.size = (data[0] | (data[1] & 1u) << 8) % (kLargestSize + 1);
    int source = (data[1] >> 1) & 7;
    query.source = source == 1   ? Source::Missing
                   : source == 2 ? Source::Unreadable
                                 : Source::Content;
    size_t pos = 2;
    query.section = take_field(data, size, &pos);
    query.key = take_field(data, size, &pos);
    query.fallback = take_field(data, size, &pos);
    query.content.assign(data + pos, data + size);
    return query;
}

uint32_t ask(const IniQuery& query, char* buffer, uint32_t size) {
    const std::string* content = query.source == Source::Missing ? nullptr : &query.content;
    return ini_profile_string(content, query.source == Source::Unreadable, query.section.c_str(),
                              query.key.c_str(), query.fallback.c_str(), buffer, size);
}

// The answer in a buffer large enough for any value of this file.
std::string full_answer(const IniQuery& query) {
    uint32_t size = static_cast<uint32_t>(query.content.size() + query.fallback.size() + 2);
    std::vector<char> buffer(size, '\0');
    uint32_t n = ask(query, buffer.data(), size);
    return std::string(buffer.data(), std::min(n, size - 1));
}

std::string describe(const char* what, uint32_t size, uint32_t returned) {
    return std::string(what) + " (size " + std::to_string(size) + ", returned " +
           std::to_string(returned) + ")";
}

// Problems of one answer in a buffer of `size` bytes at `buffer`.
std::string check_answer(const char* buffer, uint32_t size, uint32_t returned) {
    if (size == 0) {
        return returned == 0 ? std::string() : describe("answer without a buffer", size, returned);
    }
    if (returned >= size) {
        return describe("return value does not fit the buffer", size, returned);
    }
    if (buffer[returned] != '\0') {
        return describe("no terminator at the return value", size, returned);
    }
    if (std::memchr(buffer, '\0', returned) != nullptr) {
        return describe("NUL inside the answer", size, returned);
    }
    return std::string();
}

// A buffer of exactly `size` bytes on the heap, so that AddressSanitizer
// sees the first byte past it.
std::string check_exact_buffer(const IniQuery& query, std::string* answer) {
    std::unique_ptr<char[]> buffer(new char[query.size == 0 ? 1 : query.size]);
    std::memset(buffer.get(), kFill, query.size == 0 ? 1 : query.size);
    uint32_t n = ask(query, buffer.get(), query.size);
    std::string problem = check_answer(buffer.get(), query.size, n);
    if (problem.empty() && query.size > 0) {
        answer->assign(buffer.get(), n);
    }
    if (problem.empty() && query.size == 0 && static_cast<unsigned char>(buffer[0]) != kFill) {
        problem = "a buffer of size 0 was written to";
    }
    return problem;
}

// The same query with canary bytes after the buffer, for builds without
// AddressSanitizer and for writes that stay inside the allocation.
std::string check_canary(const IniQuery& query, std::string* answer) {
    std::vector<unsigned char> block(query.size + kCanaryBytes, kCanary);
    char* buffer = reinterpret_cast<char*>(block.data());
    uint32_t n = ask(query, buffer, query.size);
    for (size_t i = query.size; i < block.size(); ++i) {
        if (block[i] != kCanary) {
            return describe("byte past the buffer changed", query.size, n) + " at offset " +
                   std::to_string(i);
        }
    }
    std::string problem = check_answer(buffer, query.size, n);
    if (problem.empty() && query.size > 0) {
        answer->assign(buffer, n);
    }
    return problem;
}

}  // namespace

std::string check_ini_reader(const uint8_t* data, size_t size) {
    IniQuery query = parse_query(data, size);
    std::string exact;
    std::string problem = check_exact_buffer(query, &exact);
    std::string canary;
    if (problem.empty()) {
        problem = check_canary(query, &canary);
    }
    if (problem.empty() && exact != canary) {
        problem = "two calls with the same query answered differently";
    }
    if (problem.empty() && query.size > 0) {
        std::string full = full_answer(query);
        if (exact != full.substr(0, std::min<size_t>(full.size(), query.size - 1))) {
            problem = "the answer is not the full value cut to the buffer (size " +
                      std::to_string(query.size) + ")";
        }
    }
    return problem;
}

}  // namespace fuzz
}  // namespace iz
