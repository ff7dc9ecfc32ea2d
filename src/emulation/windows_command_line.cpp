#include "emulation/windows_command_line.h"

namespace iz {

namespace {

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

size_t program_name(const std::string& line, std::string* name) {
    size_t i = 0;
    if (i < line.size() && line[i] == '"') {
        size_t close = line.find('"', 1);
        if (close == std::string::npos) {
            *name = line.substr(1);
            return line.size();
        }
        *name = line.substr(1, close - 1);
        i = close + 1;
    }
    while (i < line.size() && !is_blank(line[i])) {
        *name += line[i++];
    }
    return i;
}

// Reads one argument starting at `i` (not on a blank); returns the index
// after it.
size_t next_argument(const std::string& line, size_t i, std::string* argument) {
    bool quoted = false;
    while (i < line.size() && (quoted || !is_blank(line[i]))) {
        if (line[i] == '\\') {
            size_t count = 0;
            while (i < line.size() && line[i] == '\\') {
                ++count;
                ++i;
            }
            if (i < line.size() && line[i] == '"') {
                argument->append(count / 2, '\\');
                if (count % 2 == 1) {
                    *argument += '"';
                    ++i;
                }
            } else {
                argument->append(count, '\\');
            }
        } else if (line[i] == '"') {
            if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
                *argument += '"';
                i += 2;
            } else {
                quoted = !quoted;
                ++i;
            }
        } else {
            *argument += line[i++];
        }
    }
    return i;
}

}  // namespace

std::vector<std::string> split_windows_command_line(const std::string& command_line) {
    std::vector<std::string> arguments(1);
    size_t i = program_name(command_line, &arguments[0]);
    for (;;) {
        while (i < command_line.size() && is_blank(command_line[i])) {
            ++i;
        }
        if (i >= command_line.size()) {
            break;
        }
        std::string argument;
        i = next_argument(command_line, i, &argument);
        arguments.push_back(argument);
    }
    return arguments;
}

}  // namespace iz
