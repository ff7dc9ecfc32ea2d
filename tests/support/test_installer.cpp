// A stand-in for the product's Setup.exe, used by the end-to-end tests and
// the demo. It does what installzova expects of the real installer: reads the
// response file given with -f1, appends its messages in the run-log line
// format to installzova.log in the work folder named by szEdit1, writes the
// result code to the file given with -f2, and exits. Environment variables
// steer it:
//   TEST_INSTALLER_RECORD      file to write the command line it received to
//   TEST_INSTALLER_RESULT      result code to write (default "0"); "none"
//                              writes setup.log without a ResultCode
//   TEST_INSTALLER_NO_LOG      "1": write no setup.log at all
//   TEST_INSTALLER_COMPLETE    "0": log no completion marker (default "1")
//   TEST_INSTALLER_LINES       extra lines, separated by LF, each prefixed
//   TEST_INSTALLER_RAW         file whose bytes are appended to the run log as
//                              they are (long, unprefixed or odd lines)
//   TEST_INSTALLER_WATCH       file that receives installzova's standard
//                              output: after each line of TEST_INSTALLER_LINES
//                              wait (at most a minute) until it shows the
//                              line, and log "QIRU09999-E Not shown while the
//                              installer ran: ..." when it does not
//   TEST_INSTALLER_REPEAT      number of numbered extra lines to append
//   TEST_INSTALLER_INTERVAL_MS pause before each numbered line, which then
//                              carries the moment of its append in
//                              microseconds since 1970 ("at N.")
//   TEST_INSTALLER_BLOCKS      "N:BYTES": append N blocks of BYTES bytes of
//                              "x", each after TEST_INSTALLER_INTERVAL_MS;
//                              with TEST_INSTALLER_BLOCK_LINES=1 each block
//                              is a line (its last two bytes CR LF), else
//                              the blocks are one line, ended after the last
//   TEST_INSTALLER_DELAY_MS    pause before completing: milliseconds, or
//                              "file:PATH" to wait until PATH exists (at
//                              most two minutes), so that a test decides
//                              when the installer goes on, not the clock
//   TEST_INSTALLER_EXIT        exit code (default 0)
//   TEST_INSTALLER_PRODUCT_OPTION  file to write the installed components
//                              (szEdit3) to after an installation that
//                              completed with result code 0, as the product
//                              records them (the Ansible tests' registry)
//   TEST_INSTALLER_KILL        (POSIX) a signal number to raise after its
//                              first lines (SIGSTOP stops it)
//   TEST_INSTALLER_READ_STDIN  "1": read standard input to its end first
//   TEST_INSTALLER_CONSOLE     a line written to standard output after its
//                              first lines (a failed write changes nothing)
//   TEST_INSTALLER_LOG_LINK    (POSIX) make setup.log a symbolic link to
//                              this file instead of writing it
//   TEST_INSTALLER_LOG_OWNER   (POSIX) user id to give setup.log once written
//   TEST_INSTALLER_RUN_LOG_OWNER  (POSIX) user id to give installzova.log
//                              after its last line
//   TEST_INSTALLER_SIGNAL_PARENT  "1": after completing, signal shut-down to
//                              the parent the way the platform does (POSIX:
//                              SIGTERM), then pause TEST_INSTALLER_AFTER_MS
//                              (the same forms as the delay)
#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/run_log_prefix.h"

namespace {

#ifdef _WIN32
const char kSeparator = '\\';
#else
const char kSeparator = '/';
#endif

std::string env(const char* name, const char* fallback = "") {
    const char* value = std::getenv(name);
    return value != nullptr ? value : fallback;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

// Appends in one write, as installzova does, so that lines never tear.
void append(const std::string& path, const std::string& bytes) {
#ifdef _WIN32
    HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
#else
    int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT, 0666);
    if (fd < 0) {
        return;
    }
    ssize_t written = write(fd, bytes.data(), bytes.size());
    (void)written;
    close(fd);
#endif
}

void log_line(const std::string& run_log, const std::string& text) {
    append(run_log, iz_test::run_log_prefix(std::time(nullptr)) + text + "\r\n");
}

// The value after "-f1" or "-f2" among the arguments.
std::string option(int argc, char** argv, const char* name) {
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], name, 3) == 0) {
            std::string value = argv[i] + 3;
            // A Windows program gets the quotes removed by its C runtime already.
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
                value = value.substr(1, value.size() - 2);
            }
            return value;
        }
    }
    return std::string();
}

std::string response_value(const std::string& response, const std::string& key) {
    std::istringstream lines(response);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.compare(0, key.size() + 1, key + "=") == 0) {
            return line.substr(key.size() + 1);
        }
    }
    return std::string();
}

void record_command_line(int argc, char** argv) {
    std::string path = env("TEST_INSTALLER_RECORD");
    if (path.empty()) {
        return;
    }
    std::string text;
#ifdef _WIN32
    text += std::string("raw=") + GetCommandLineA() + "\n";
#endif
    for (int i = 0; i < argc; ++i) {
        text += "arg=" + std::string(argv[i]) + "\n";
    }
    std::ofstream(path, std::ios::binary) << text;
}

bool is_check(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-silentcheck") == 0) {
            return true;
        }
    }
    return false;
}

// Whether the program has printed `text` by now, waiting at most a minute.
bool shown_by_program(const std::string& watched, const std::string& text) {
    for (int waited = 0; waited < 60000; waited += 20) {
        if (read_file(watched).find(text) != std::string::npos) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

long long microseconds_since_1970() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

void log_numbered_lines(const std::string& run_log) {
    int repeat = std::atoi(env("TEST_INSTALLER_REPEAT", "0").c_str());
    int interval = std::atoi(env("TEST_INSTALLER_INTERVAL_MS", "0").c_str());
    for (int i = 0; i < repeat; ++i) {
        std::string text =
            "QIRU09231-I Copying file " + std::to_string(i) + " of " + std::to_string(repeat);
        if (interval > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(interval));
            text += " at " + std::to_string(microseconds_since_1970());
        }
        log_line(run_log, text + ".");
    }
}

void log_blocks(const std::string& run_log) {
    std::string spec = env("TEST_INSTALLER_BLOCKS");
    size_t colon = spec.find(':');
    if (colon == std::string::npos) {
        return;
    }
    int count = std::atoi(spec.substr(0, colon).c_str());
    size_t bytes = static_cast<size_t>(std::atol(spec.substr(colon + 1).c_str()));
    int interval = std::atoi(env("TEST_INSTALLER_INTERVAL_MS", "0").c_str());
    std::string block(bytes < 2 ? 2 : bytes, 'x');
    if (env("TEST_INSTALLER_BLOCK_LINES") == "1") {
        block.replace(block.size() - 2, 2, "\r\n");
    }
    for (int i = 0; i < count; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(interval));
        append(run_log, block);
    }
    if (env("TEST_INSTALLER_BLOCK_LINES") != "1") {
        append(run_log, "\r\n");
    }
}

void log_extra_lines(const std::string& run_log) {
    std::istringstream lines(env("TEST_INSTALLER_LINES"));
    std::string watched = env("TEST_INSTALLER_WATCH");
    std::string line;
    while (std::getline(lines, line)) {
        log_line(run_log, line);
        if (!watched.empty() && !shown_by_program(watched, line)) {
            log_line(run_log, "QIRU09999-E Not shown while the installer ran: " + line);
        }
    }
    log_numbered_lines(run_log);
    log_blocks(run_log);
    std::string raw = env("TEST_INSTALLER_RAW");
    if (!raw.empty()) {
        append(run_log, read_file(raw));
    }
}

void write_result(const std::string& setup_log) {
    if (env("TEST_INSTALLER_NO_LOG") == "1" || setup_log.empty()) {
        return;
    }
#ifndef _WIN32
    if (!env("TEST_INSTALLER_LOG_LINK").empty()) {
        (void)!symlink(env("TEST_INSTALLER_LOG_LINK").c_str(), setup_log.c_str());
        return;
    }
#endif
    std::string result = env("TEST_INSTALLER_RESULT", "0");
    std::string text =
        "[InstallShield Silent]\r\nVersion=v7.00\r\nFile=Log File\r\n"
        "[ResponseResult]\r\n";
    if (result != "none") {
        text += "ResultCode=" + result + "\r\n";
    }
    std::ofstream(setup_log, std::ios::binary) << text;
#ifndef _WIN32
    if (!env("TEST_INSTALLER_LOG_OWNER").empty()) {
        (void)!chown(setup_log.c_str(), std::atoi(env("TEST_INSTALLER_LOG_OWNER").c_str()), -1);
    }
#endif
}

void pause_ms(const char* name) {
    const std::string value = env(name, "0");
    if (value.compare(0, 5, "file:") == 0) {
        const std::string go = value.substr(5);
        for (int waited = 0; waited < 120000 && !std::ifstream(go).good(); waited += 20) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return;
    }
    int ms = std::atoi(value.c_str());
    if (ms > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
}

void signal_shutdown_to_parent() {
#ifndef _WIN32
    kill(getppid(), SIGTERM);
#endif
    // Windows sends log-off and shut-down events only from the system itself;
    // there is nothing an ordinary program can raise for them.
}

}  // namespace

int main(int argc, char** argv) {
    if (env("TEST_INSTALLER_READ_STDIN") == "1") {
        std::string ignored;
        std::getline(std::cin, ignored, '\0');
    }
    record_command_line(argc, argv);
    std::string response = read_file(option(argc, argv, "-f1"));
    std::string work_folder = response_value(response, "szEdit1");
    std::string run_log = work_folder + kSeparator + "installzova.log";
    bool check = is_check(argc, argv);

    log_line(run_log, check
                          ? "QIRU09232-I Checking the installation environment."
                          : "QIRU09230-I Installing ZOVA (" + response_value(response, "szEdit3") +
                                ") into " + response_value(response, "szDir") + ".");
    log_line(run_log, "QIRU09179-I Data for maintenance: 00990001 installer internals");
    log_extra_lines(run_log);
    if (!env("TEST_INSTALLER_CONSOLE").empty()) {
        std::string text = env("TEST_INSTALLER_CONSOLE") + "\n";
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
    }
    pause_ms("TEST_INSTALLER_DELAY_MS");
#ifndef _WIN32
    if (!env("TEST_INSTALLER_KILL").empty()) {
        raise(std::atoi(env("TEST_INSTALLER_KILL").c_str()));
    }
#endif
    // A check installs nothing, so it logs no completion marker.
    if (check) {
        log_line(run_log, "QIRU09233-I The installation environment check finished.");
    } else if (env("TEST_INSTALLER_COMPLETE", "1") == "1") {
        log_line(run_log, "QIRU09181-I ZOVA installation completed.");
    }
#ifndef _WIN32
    if (!env("TEST_INSTALLER_RUN_LOG_OWNER").empty()) {
        (void)!chown(run_log.c_str(), std::atoi(env("TEST_INSTALLER_RUN_LOG_OWNER").c_str()), -1);
    }
#endif
    write_result(option(argc, argv, "-f2"));
    if (!check && env("TEST_INSTALLER_COMPLETE", "1") == "1" &&
        env("TEST_INSTALLER_RESULT", "0") == "0" && !env("TEST_INSTALLER_PRODUCT_OPTION").empty()) {
        std::filesystem::path option_file(env("TEST_INSTALLER_PRODUCT_OPTION"));
        std::error_code ignored;
        std::filesystem::create_directories(option_file.parent_path(), ignored);
        std::ofstream(option_file, std::ios::binary) << response_value(response, "szEdit3");
    }
    if (env("TEST_INSTALLER_SIGNAL_PARENT") == "1") {
        signal_shutdown_to_parent();
        pause_ms("TEST_INSTALLER_AFTER_MS");
    }
    return std::atoi(env("TEST_INSTALLER_EXIT", "0").c_str());
}
