// What the INI reader answers to one query, checked the way the corpus was
// made: the buffer pre-filled with canaries twice, so that an answer that
// depends on old buffer content, or a byte written past the terminator or the
// buffer, is caught.
#pragma once

#include <cstdint>
#include <string>

namespace iz {
namespace ini_check {

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

// The reader's answer to `q` with the given default.
Answer ask(const Source& source, const Query& q, const char* fallback);

// "[section] key size n", for failure messages.
std::string describe(const Query& q);

// Empty when `source` answers `q` with `ret` and `value`, keeping to the
// buffer; else what went wrong, headed by `where`.
std::string verify(const std::string& where, const Source& source, const Query& q,
                   const char* fallback, uint32_t ret, const std::string& value);

}  // namespace ini_check
}  // namespace iz
