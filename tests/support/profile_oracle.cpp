// Answers a batch of INI queries with the system's GetPrivateProfileStringA,
// so that the INI reader of the POSIX build can be compared with the real
// call. One process answers a whole batch: starting a program under Wine
// costs far more than thousands of calls.
//
//   profile-oracle.exe <batch file> <answers file>
//
// Batch file, one record a line, fields separated by a tab:
//   IZORACLE1                          first line
//   F <full path of an INI file>       the file the queries below it read
//   Q <section> <key> <buffer size>    one query; the default is always ""
// Answers file, one line a query, in the order of the queries:
//   IZANSWERS1                         first line
//   A <return> <value> <touched>       a stable answer: the return value, the
//                                      bytes before the terminator and the
//                                      number of bytes changed between the
//                                      terminator and the end of the buffer
//   X <what went wrong>                an answer that cannot be trusted
//   END <number of queries>            last line, absent if the run broke off
// Text fields are escaped: bytes 0x20-0x7E other than "\" stand for
// themselves, every other byte is written as \xHH.
//
// Exit status: 0 when every query was answered (even with X lines), 2 for a
// bad command line or batch, 3 when the answers cannot be written.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "support/test_helpers.h"

namespace {

using iz::escape;
using iz::split_tabs;
using iz::unescape;

// Bytes the buffer is pre-filled with. Asking twice with different fills
// shows an answer that depends on what the buffer held before the call.
const unsigned char kFills[2] = {0xA5, 0x5A};

// Bytes past the end of the buffer, to see a call write beyond nSize.
const size_t kGuard = 32;

bool read_file(const char* path, std::string* bytes) {
    FILE* in = std::fopen(path, "rb");
    if (in == nullptr) {
        return false;
    }
    char chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, in)) > 0) {
        bytes->append(chunk, got);
    }
    bool ok = std::ferror(in) == 0;
    std::fclose(in);
    return ok;
}

struct Call {
    DWORD returned = 0;
    std::string value;  // bytes before the first NUL within the buffer
    bool terminated = false;
    size_t touched = 0;  // bytes changed after the terminator, within nSize
    bool overrun = false;
};

Call ask_once(const std::string& file, const std::string& section, const std::string& key,
              DWORD size, unsigned char fill) {
    std::vector<char> buffer(size + kGuard, static_cast<char>(fill));
    // Writable copies: the call must see nothing but the bytes of the query.
    std::vector<char> section_copy(section.begin(), section.end());
    std::vector<char> key_copy(key.begin(), key.end());
    char no_default[1] = {'\0'};
    section_copy.push_back('\0');
    key_copy.push_back('\0');
    Call call;
    call.returned = GetPrivateProfileStringA(section_copy.data(), key_copy.data(), no_default,
                                             buffer.data(), size, file.c_str());
    size_t end = 0;
    while (end < size && buffer[end] != '\0') {
        ++end;
    }
    call.terminated = end < size;
    call.value.assign(buffer.data(), end);
    for (size_t i = end + 1; i < size; ++i) {
        call.touched += buffer[i] != static_cast<char>(fill) ? 1 : 0;
    }
    for (size_t i = size; i < buffer.size(); ++i) {
        call.overrun = call.overrun || buffer[i] != static_cast<char>(fill);
    }
    return call;
}

std::string describe(const Call& call) {
    return "return " + std::to_string(call.returned) + " value \"" + escape(call.value) + "\"" +
           (call.terminated ? "" : " unterminated") + (call.overrun ? " overrun" : "") +
           " touched " + std::to_string(call.touched);
}

// One answer line. The second call must repeat the first, and the answer must
// be a terminated string of the returned length that stays inside the buffer.
std::string answer(const std::string& file, const std::string& section, const std::string& key,
                   DWORD size) {
    Call first = ask_once(file, section, key, size, kFills[0]);
    Call second = ask_once(file, section, key, size, kFills[1]);
    bool same = first.returned == second.returned && first.value == second.value &&
                first.terminated == second.terminated && first.touched == second.touched;
    bool sound = first.terminated && !first.overrun && !second.overrun &&
                 first.returned == first.value.size();
    if (size == 0) {
        sound = !first.overrun && !second.overrun;  // nothing may be written at all
    }
    if (!same || !sound) {
        std::string text = "fill A5: " + describe(first) + "; fill 5A: " + describe(second);
        return "X\t" + escape(text);
    }
    return "A\t" + std::to_string(first.returned) + "\t" + escape(first.value) + "\t" +
           std::to_string(first.touched);
}

int fail(const char* message, const std::string& detail) {
    std::fprintf(stderr, "profile-oracle: %s%s\n", message, detail.c_str());
    return 2;
}

int run(const char* batch_path, const char* answers_path) {
    std::string batch;
    if (!read_file(batch_path, &batch)) {
        return fail("cannot read the batch file ", batch_path);
    }
    std::string out = "IZANSWERS1\n";
    std::string file;
    size_t queries = 0;
    size_t line_number = 0;
    size_t begin = 0;
    while (begin < batch.size()) {
        size_t end = batch.find('\n', begin);
        end = end == std::string::npos ? batch.size() : end;
        std::string line = batch.substr(begin, end - begin);
        begin = end + 1;
        ++line_number;
        std::vector<std::string> fields = split_tabs(line);
        std::string where = " at line " + std::to_string(line_number);
        if (line_number == 1) {
            if (line != "IZORACLE1") {
                return fail("not a batch file", where);
            }
        } else if (fields[0] == "F" && fields.size() == 2) {
            if (!unescape(fields[1], &file)) {
                return fail("bad escape", where);
            }
        } else if (fields[0] == "Q" && fields.size() == 4 && !file.empty()) {
            std::string section;
            std::string key;
            char* size_end = nullptr;
            unsigned long size = std::strtoul(fields[3].c_str(), &size_end, 10);
            if (!unescape(fields[1], &section) || !unescape(fields[2], &key) || fields[3].empty() ||
                *size_end != '\0' || size > 1000000) {
                return fail("bad query", where);
            }
            out += answer(file, section, key, static_cast<DWORD>(size)) + "\n";
            ++queries;
        } else if (!line.empty()) {
            return fail("unknown record", where);
        }
    }
    out += "END\t" + std::to_string(queries) + "\n";
    FILE* answers = std::fopen(answers_path, "wb");
    bool written =
        answers != nullptr && std::fwrite(out.data(), 1, out.size(), answers) == out.size();
    written = answers != nullptr && std::fclose(answers) == 0 && written;
    if (!written) {
        std::fprintf(stderr, "profile-oracle: cannot write %s\n", answers_path);
        return 3;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: profile-oracle <batch file> <answers file>\n");
        return 2;
    }
    return run(argv[1], argv[2]);
}
