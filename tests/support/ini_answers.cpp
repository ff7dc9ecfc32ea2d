#include "support/ini_answers.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "support/profile_buffer.h"
#include "support/test_helpers.h"

namespace iz {
namespace ini_check {

namespace {

uint32_t call(const Source& source, const Query& q, const char* fallback, char* out) {
    const char* section = q.section.c_str();
    const char* key = q.key.c_str();
    if (source.path != nullptr) {
        return ini_profile_string_from_file(source.path, section, key, fallback, out, q.size);
    }
    return ini_profile_string(source.content, source.unreadable, section, key, fallback, out,
                              q.size);
}

}  // namespace

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
    return "[" + escape(q.section) + "] " + escape(q.key) + " size " + std::to_string(q.size);
}
std::string verify(const std::string& where, const Source& source, const Query& q,
                   const char* fallback, uint32_t ret, const std::string& value) {
    Answer got = ask(source, q, fallback);
    if (got.problem.empty() && got.returned == ret && got.value == value) {
        return "";
    }
    return where + " " + describe(q) + ": expected " + std::to_string(ret) + " \"" + escape(value) +
           "\", got " + std::to_string(got.returned) + " \"" + escape(got.value) + "\"" +
           got.problem;
}

}  // namespace ini_check
}  // namespace iz
