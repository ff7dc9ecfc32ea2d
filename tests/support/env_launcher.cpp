// Runs a Windows command line with environment variables set from inside
// Windows. Wine rebuilds TEMP, TMP, ProgramFiles and ProgramFiles(x86) for a
// program started from Linux, and its start script drops variable names that
// hold parentheses, so the end-to-end tests pass such variables through here:
//   IZ_SET_<NAME>=<value>   sets NAME          (IZ_UNSET_<NAME>: removes it)
// where "_LP_" and "_RP_" in NAME stand for "(" and ")". Everything after the
// launcher's own name on its command line is the command line it runs, with
// the standard handles passed on; its exit code is the launcher's.
//   IZ_HOLD=<file>          keeps the file open, sharing nothing, meanwhile
#include <windows.h>

#include <cstring>
#include <string>

extern char** _environ;

namespace {

std::string decode_name(std::string name) {
    size_t at;
    while ((at = name.find("_LP_")) != std::string::npos) {
        name.replace(at, 4, "(");
    }
    while ((at = name.find("_RP_")) != std::string::npos) {
        name.replace(at, 4, ")");
    }
    return name;
}

void apply_environment() {
    const char kSet[] = "IZ_SET_";
    const char kUnset[] = "IZ_UNSET_";
    for (char** entry = _environ; *entry != nullptr; ++entry) {
        std::string item = *entry;
        size_t equals = item.find('=');
        if (equals == std::string::npos) {
            continue;
        }
        std::string name = item.substr(0, equals);
        if (name.compare(0, sizeof kSet - 1, kSet) == 0) {
            SetEnvironmentVariableA(decode_name(name.substr(sizeof kSet - 1)).c_str(),
                                    item.substr(equals + 1).c_str());
        } else if (name.compare(0, sizeof kUnset - 1, kUnset) == 0) {
            SetEnvironmentVariableA(decode_name(name.substr(sizeof kUnset - 1)).c_str(), nullptr);
        }
    }
}

// The command line less the launcher's own name.
std::string rest_of_command_line() {
    const char* line = GetCommandLineA();
    if (*line == '"') {
        line = std::strchr(line + 1, '"');
        line = line != nullptr ? line + 1 : "";
    }
    while (*line != '\0' && *line != ' ' && *line != '\t') {
        ++line;
    }
    while (*line == ' ' || *line == '\t') {
        ++line;
    }
    return line;
}

}  // namespace

int main() {
    apply_environment();
    char held[MAX_PATH] = "";
    if (GetEnvironmentVariableA("IZ_HOLD", held, sizeof held) > 0) {
        // Closed by the system when the launcher ends.
        CreateFileA(held, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    std::string command = rest_of_command_line();
    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process;
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process)) {
        return 255;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 255;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return static_cast<int>(code);
}
