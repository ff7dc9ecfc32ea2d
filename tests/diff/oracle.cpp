// Runs the oracle and reads its answers.
#include "diff/oracle.h"

#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/test_helpers.h"
#include "support/wine_loader.h"

extern char** environ;

namespace iz {
namespace ini_diff {

namespace fs = std::filesystem;

namespace {

bool parse_answer(const std::string& line, Answer* a) {
    std::vector<std::string> fields = split_tabs(line);
    if (fields[0] == "X" && fields.size() == 2) {
        a->sound = false;
        return unescape(fields[1], &a->problem);
    }
    if (fields[0] != "A" || fields.size() != 4) {
        return false;
    }
    a->returned = static_cast<uint32_t>(std::strtoul(fields[1].c_str(), nullptr, 10));
    a->touched = static_cast<size_t>(std::strtoul(fields[3].c_str(), nullptr, 10));
    return unescape(fields[2], &a->value);
}

std::string windows_path(const fs::path& path) {
    std::string text = fs::absolute(path).string();
    std::replace(text.begin(), text.end(), '/', '\\');
    return "Z:" + text;
}

std::string read_text(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Wine picks the ANSI code page from the locale: en_US gives code page 1252.
std::vector<std::string> wine_environment() {
    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        std::string item = *entry;
        if (item.compare(0, 3, "LC_") != 0 && item.compare(0, 5, "LANG=") != 0 &&
            item.compare(0, 9, "WINEDEBUG") != 0) {
            env.push_back(item);
        }
    }
    env.push_back("LANG=en_US.UTF-8");
    env.push_back("WINEDEBUG=-all");
    return env;
}

}  // namespace

bool operator==(const Answer& a, const Answer& b) {
    return a.sound && b.sound && a.returned == b.returned && a.value == b.value &&
           a.touched == b.touched;
}

std::string describe(const Answer& a) {
    if (!a.sound) {
        return "UNSOUND: " + a.problem;
    }
    return std::to_string(a.returned) + " \"" + escape(a.value) + "\"" +
           (a.touched != 0 ? " (" + std::to_string(a.touched) + " bytes after the NUL changed)"
                           : "");
}

bool write_file(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

int run_oracle(const std::string& oracle, const fs::path& batch, const fs::path& answers,
               std::string* error) {
    std::vector<std::string> args = {iz_test::wine_loader(), windows_path(oracle),
                                     windows_path(batch), windows_path(answers)};
    std::vector<std::string> env = wine_environment();
    std::vector<char*> argv;
    std::vector<char*> envp;
    for (std::string& a : args) {
        argv.push_back(&a[0]);
    }
    for (std::string& e : env) {
        envp.push_back(&e[0]);
    }
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    pid_t pid = 0;
    int failed = posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data());
    if (failed != 0) {
        *error = std::string("cannot start wine: ") + std::strerror(failed);
        return -1;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status)) {
        *error = "the oracle was killed by signal " + std::to_string(WTERMSIG(status));
        return -1;
    }
    return WEXITSTATUS(status);
}

std::string batch_text(const std::vector<IniFile>& files) {
    std::string batch = "IZORACLE1\n";
    for (const IniFile& file : files) {
        batch += "F\t" + escape(windows_path(file.path)) + "\n";
        for (const Query& q : file.queries) {
            batch += "Q\t" + escape(q.section) + "\t" + escape(q.key) + "\t" +
                     std::to_string(q.size) + "\n";
        }
    }
    return batch;
}

bool read_answers(const fs::path& path, size_t expected, std::vector<Answer>* answers,
                  std::string* error) {
    std::string text = read_text(path);
    std::vector<std::string> lines;
    size_t begin = 0;
    while (begin < text.size()) {
        size_t end = std::min(text.find('\n', begin), text.size());
        lines.push_back(text.substr(begin, end - begin));
        begin = end + 1;
    }
    if (lines.size() != expected + 2 || lines.front() != "IZANSWERS1" ||
        lines.back() != "END\t" + std::to_string(expected)) {
        *error = "the answers file holds " + std::to_string(lines.size()) + " lines for " +
                 std::to_string(expected) + " queries";
        return false;
    }
    for (size_t i = 1; i + 1 < lines.size(); ++i) {
        Answer a;
        if (!parse_answer(lines[i], &a)) {
            *error = "malformed answer line " + std::to_string(i + 1) + ": " + escape(lines[i]);
            return false;
        }
        answers->push_back(a);
    }
    return true;
}

}  // namespace ini_diff
}  // namespace iz
