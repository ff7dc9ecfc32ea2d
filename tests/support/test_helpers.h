// What the tests of several modules expect alike: the work files of a run in
// C:\work, the texts of the messages they check, and the \xHH escapes the INI
// tests and the profile oracle write and read. Header only, so that the
// Windows-only oracle can use it without the rest of the test support.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

namespace iz {

const char kSettingsFile[] = "C:\\s.ini";
const char kWork[] = "C:\\work";
const char kLog[] = "C:\\work\\installzova.log";
const char kIss[] = "C:\\work\\setup.iss";
const char kSetupLog[] = "C:\\work\\setup.log";
const char kBat[] = "C:\\work\\setoptions.bat";
const char kRecord[] = "C:\\work\\installzova-result.json";

// The start line of a run at 05:14:06 on 8 December 2026.
const std::string kStart = "INFO  12-8-2026 05:14:06 QIRU09180-I ZOVA installation will now start.";

// An installer line one second after the start line.
inline std::string installer_line(const std::string& text) {
    return "INFO  12-8-2026 05:14:07 " + text + "\r\n";
}

// What a replay showed and the completed flag it gave.
struct Replay {
    std::string shown;
    bool completed = false;
};

const char kMissingFile[] =
    "QIRU09191-W The installation information settings file does not exist.\n";
const char kCoreOverAll[] =
    "QIRU09253-W y cannot be specified in the ZOVA_core key when all ZOVA components are "
    "installed.\n";

inline std::string internal_error(int error, int code) {
    return "QIRU09034-E An Internal error occurred in the ZOVA Installer. Code = " +
           std::to_string(error) + " " + std::to_string(code) + "\n";
}

inline std::string file_io_error(int error, int code) {
    return "QIRU09216-E An error occurred during I/O of a file that installzova uses. Error Code "
           "= " +
           std::to_string(error) + ", " + std::to_string(code) + "\n";
}

inline std::string bad_definition(const std::string& key, const std::string& value) {
    return "QIRU09193-W A definition in the installation information settings file is invalid. (" +
           key + "=" + value + ")\n";
}

inline std::string unsupported_version(const std::string& zovaversion) {
    return "QIRU09192-W An installation information settings file of an unsupported product "
           "version is specified. (zovaversion=" +
           zovaversion + ")\n";
}

inline std::string path_missing(const std::string& key, const std::string& value) {
    return "QIRU09194-W A folder or file specified in the installation information settings file "
           "does not exist. (" +
           key + "=" + value + ")\n";
}

inline std::string maintenance(const char* code, const std::string& text) {
    return std::string("QIRU09179-I Data for maintenance: ") + code + " " + text;
}

// Bytes given by their values, for texts in code page 932.
inline std::string bytes(std::initializer_list<int> values) {
    std::string text;
    for (int v : values) {
        text += static_cast<char>(v);
    }
    return text;
}

const char kHex[] = "0123456789ABCDEF";

// Printable ASCII but "\" as is, every other byte as \xHH.
inline std::string escape(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c <= 0x7E && c != '\\') {
            out += static_cast<char>(c);
        } else {
            out += std::string("\\x") + kHex[c >> 4] + kHex[c & 15];
        }
    }
    return out;
}

inline int hex_digit(char c) {
    for (int i = 0; i < 16; ++i) {
        if (c == kHex[i] || (i >= 10 && c == kHex[i] + 32)) {
            return i;
        }
    }
    return -1;
}

// Reads \xHH (either case) and, as the conformance corpus writes them, \t \n
// \r and \\; false for any other escape.
inline bool unescape(const std::string& field, std::string* out) {
    out->clear();
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\') {
            *out += field[i];
            continue;
        }
        char kind = ++i < field.size() ? field[i] : '\0';
        if (kind == 't' || kind == 'n' || kind == 'r' || kind == '\\') {
            *out += kind == 't' ? '\t' : kind == 'n' ? '\n' : kind == 'r' ? '\r' : '\\';
            continue;
        }
        int high = kind == 'x' && i + 2 < field.size() ? hex_digit(field[i + 1]) : -1;
        int low = high >= 0 ? hex_digit(field[i + 2]) : -1;
        if (low < 0) {
            return false;
        }
        *out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return true;
}

inline std::vector<std::string> split_tabs(const std::string& line) {
    std::vector<std::string> fields;
    size_t begin = 0;
    for (;;) {
        size_t tab = line.find('\t', begin);
        fields.push_back(line.substr(begin, tab - begin));
        if (tab == std::string::npos) {
            return fields;
        }
        begin = tab + 1;
    }
}

}  // namespace iz
