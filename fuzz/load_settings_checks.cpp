// Reading a hostile settings file: after a successful load every value keeps
// to its capacity and kind, and the work files built from the values keep
// their shape (no injected lines, no batch-special byte in a command).
#include <cstring>
#include <set>
#include <vector>

#include "fuzz/fuzz_checks.h"
#include "installer/options_file.h"
#include "installer/response_file.h"
#include "main/run_main.h"
#include "messages/output.h"
#include "messages/text.h"
#include "settings/load_settings.h"
#include "support/fake_system.h"

namespace iz {
namespace fuzz {

namespace {

const char kSettingsName[] = "install.ini";
const char kRegistryKey[] = "SOFTWARE\\KESTRON\\PathSentryMultiway";
const int kResponseLines = 31;
const int kMaxOptionLines = 12;
const size_t kLogLinePrefix = 25;
// A run-log line: the prefix and a text cut to the program's limit.
const size_t kMaxLogLine = kLogLinePrefix + kTextLimit;

// The folders and files every staged system has: a realistic share of the
// paths a settings file names exist.
void stage_common(FakeSystem& fake) {
    for (const char* folder : {"C:\\work", "C:\\Temp", "D:\\work", "C:\\Temp\\zova",
                               "C:\\Program Files\\KESTRON\\PathSentryMultiway", "D:\\media",
                               "C:\\Program Files", "C:\\"}) {
        fake.folders.insert(folder);
    }
    fake.files["C:\\work\\notes.txt"] = "not a folder";
    fake.devices.insert("CON");
    fake.environment["ProgramFiles"] = "C:\\Program Files";
    fake.environment["ProgramFiles(x86)"] = "C:\\Program Files (x86)";
}

// Ten systems, chosen by the settings file's first line ";<digit>".
void stage_variant(FakeSystem& fake, int variant) {
    switch (variant) {
        case 1:
            fake.language_name = "Japanese";
            fake.registry[kRegistryKey]["InstallationOption"] = "All";
            break;
        case 2:
            fake.version = OsVersion{5, 2};
            fake.wow64 = true;
            fake.registry[kRegistryKey];  // present without the value: "All"
            break;
        case 3:
            fake.registry[kRegistryKey]["InstallationOption"] = "Core";
            fake.separator = '/';
            break;
        case 4:  // the longest temp folder that leaves room for the work-file names
            fake.temp_folder = "C:\\" + std::string(240, 't') + "\\";
            break;
        case 5:  // one byte longer
            fake.temp_folder = "C:\\" + std::string(241, 't') + "\\";
            break;
        case 6:
            fake.version = OsVersion{10, 0};
            break;
        case 7:
            fake.environment.erase("ProgramFiles");
            fake.temp_fails = true;
            fake.error = 5;
            break;
        case 8:  // the longest program-files folder that still fits
            fake.environment["ProgramFiles"] = "C:\\" + std::string(70, 'p');
            fake.language_name = "Japanese";
            fake.japanese_code_page = true;
            break;
        case 9:
            fake.registry[kRegistryKey]["InstallationOption"] = "Everything";
            fake.version = OsVersion{5, 0};
            break;
        default:
            break;
    }
}

int pick_variant(const std::string& content) {
    if (content.size() >= 2 && content[0] == ';' && content[1] >= '0' && content[1] <= '9') {
        return content[1] - '0';
    }
    return 0;
}

bool has_byte_of(const std::string& value, const char* bytes) {
    return value.find_first_of(bytes) != std::string::npos;
}

bool has_control_byte(const std::string& value) {
    for (char c : value) {
        if (static_cast<unsigned char>(c) < 0x20) {
            return true;
        }
    }
    return false;
}

std::string kind_problem(const SettingEntry& entry) {
    const std::string& v = entry.value;
    if (entry.kind == ValueKind::Alphabetic &&
        (has_byte_of(v, "0123456789&|<>^%\"") || has_control_byte(v))) {
        return "Alphabetic value with a digit, special or control byte";
    }
    if (entry.kind == ValueKind::Numeric &&
        v.find_first_not_of("0123456789") != std::string::npos) {
        return "Numeric value with a non-digit";
    }
    return std::string();
}

std::string value_problem(const FakeSystem& fake, const SettingEntry& entry, int row) {
    std::string problem;
    bool system_folder = row == kWorkDir && entry.value == fake.temp_folder;
    if (entry.value.size() > entry.capacity && !system_folder) {
        problem = "value longer than its capacity " + std::to_string(entry.capacity);
    }
    bool is_switch =
        row == kStorageEmc || row == kStorageEva || row == kZovaCore || row == kRestart;
    if (problem.empty() && is_switch && !entry.value.empty() && entry.value != "y" &&
        entry.value != "n" && entry.value != "Y" && entry.value != "N") {
        problem = "switch neither y nor n";
    }
    if (problem.empty()) {
        problem = kind_problem(entry);
    }
    return problem.empty() ? problem : std::string(entry.key) + "=" + entry.value + ": " + problem;
}

// What one load works with.
struct Run {
    explicit Run(FakeSystem& system) : sys(system), out(system) {}
    FakeSystem& sys;
    Output out;
    Settings settings;
    WorkPaths paths;
};

std::string table_problem(const FakeSystem& fake, Run& state) {
    for (int row = 0; row < kSettingCount; ++row) {
        std::string problem = value_problem(fake, state.settings.table[row], row);
        if (!problem.empty()) {
            return problem;
        }
    }
    const std::string& work = state.settings.value(kWorkDir);
    if (work != fake.temp_folder && fake.folders.count(work) == 0) {
        return "work folder is neither an existing folder nor the temp folder: " + work;
    }
    if (state.settings.value(kInstallDir).empty()) {
        return "no installation folder after a successful load";
    }
    return std::string();
}

// `text` cut into CR LF lines; false when it holds a CR or LF outside a CR LF
// pair or does not end with one.
bool split_lines(const std::string& text, std::vector<std::string>* lines) {
    size_t begin = 0;
    while (begin < text.size()) {
        size_t end = text.find("\r\n", begin);
        if (end == std::string::npos) {
            return false;
        }
        std::string line = text.substr(begin, end - begin);
        if (line.find_first_of("\r\n") != std::string::npos) {
            return false;
        }
        lines->push_back(line);
        begin = end + 2;
    }
    return true;
}

bool ends_with(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::string response_problem(FakeSystem& fake, Run& state) {
    if (write_response_file(fake, state.out, state.settings, state.paths.response) != Status::Ok) {
        return "setup.iss could not be written";
    }
    std::vector<std::string> lines;
    if (!split_lines(fake.files[state.paths.response], &lines)) {
        return "setup.iss holds a stray CR or LF";
    }
    if (static_cast<int>(lines.size()) != kResponseLines) {
        return "setup.iss has " + std::to_string(lines.size()) + " lines";
    }
    return std::string();
}

std::string options_line_problem(const std::string& line) {
    if (line.compare(0, 13, "zovactl set -") != 0 || !ends_with(line, " -s")) {
        return "setoptions.bat line of the wrong shape: " + line;
    }
    if (has_byte_of(line, "&|<>^%\"")) {
        return "setoptions.bat line with a batch-special byte: " + line;
    }
    return std::string();
}

std::string options_problem(FakeSystem& fake, Run& state) {
    int count = -1;
    options_file_text(state.settings, &count);
    if (write_options_file(fake, state.out, state.settings, state.paths.options) != Status::Ok) {
        return "setoptions.bat could not be written";
    }
    auto found = fake.files.find(state.paths.options);
    if (found == fake.files.end()) {
        return count == 0 ? std::string() : "setoptions.bat removed with commands due";
    }
    std::vector<std::string> lines;
    if (!split_lines(found->second, &lines)) {
        return "setoptions.bat holds a stray CR or LF";
    }
    if (lines.size() > static_cast<size_t>(kMaxOptionLines) ||
        static_cast<int>(lines.size()) != count) {
        return "setoptions.bat has " + std::to_string(lines.size()) + " lines for " +
               std::to_string(count) + " commands";
    }
    for (const std::string& line : lines) {
        std::string problem = options_line_problem(line);
        if (!problem.empty()) {
            return problem;
        }
    }
    return std::string();
}

std::string paths_problem(Run& state) {
    for (const std::string* path : {&state.paths.run_log, &state.paths.response,
                                    &state.paths.installer_log, &state.paths.options}) {
        if (path->size() > kMaxPath) {
            return "work-file path longer than MAX_PATH: " + *path;
        }
    }
    return std::string();
}

// The run log after the settings are traced: whole CR LF lines, each a
// dated line of bounded length.
std::string run_log_problem(FakeSystem& fake, Run& state, bool warned) {
    if (open_run_log(state.out, state.paths.run_log, true, warned) != Status::Ok) {
        return "run log could not be opened";
    }
    trace_settings(fake, state.out, state.settings, true);
    std::vector<std::string> lines;
    if (!split_lines(fake.files[state.paths.run_log], &lines)) {
        return "run log holds a stray CR or LF";
    }
    for (const std::string& line : lines) {
        if (line.compare(0, 5, "INFO ") != 0 || line.size() > kMaxLogLine) {
            return "run log line of the wrong shape: " + line;
        }
    }
    return std::string();
}

std::string after_success(FakeSystem& fake, Run& state, bool warned) {
    std::string problem = table_problem(fake, state);
    state.paths = build_work_paths(state.settings.value(kWorkDir), fake.separator);
    if (problem.empty()) {
        problem = paths_problem(state);
    }
    if (problem.empty()) {
        problem = response_problem(fake, state);
    }
    if (problem.empty()) {
        problem = options_problem(fake, state);
    }
    if (problem.empty()) {
        problem = run_log_problem(fake, state, warned);
    }
    return problem;
}

}  // namespace

std::string check_load_settings(const uint8_t* data, size_t size) {
    std::string content(reinterpret_cast<const char*>(data), size);
    FakeSystem fake;
    stage_common(fake);
    stage_variant(fake, pick_variant(content));
    // The fake looks files up by full path only.
    const std::string settings_path = fake.current_folder + fake.separator + kSettingsName;
    fake.files[settings_path] = content;
    Run state(fake);
    bool warned = false;
    Status result = load_settings(fake, state.out, settings_path, &state.settings, &warned);
    if (result != Status::Ok && result != Status::SettingsFile && result != Status::NoDefault) {
        return "load_settings returned " + std::to_string(static_cast<int>(result));
    }
    return result == Status::Ok ? after_success(fake, state, warned) : std::string();
}

}  // namespace fuzz
}  // namespace iz
