// The settings keys are written out twice beside the program's table: in the
// Ansible role's variables and in the README's table of keys. Both must say
// what the table says, in its order.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "core/settings_table.h"

#ifndef IZ_SOURCE_DIR
#error "IZ_SOURCE_DIR must name the source tree"
#endif

namespace iz {
namespace {

// The program's own section is no part of the table; both copies list it too.
const char kOwnSection[] = "INSTALLZOVA";

// What a copy states of one key; an empty kind or a zero capacity: nothing.
// A kind is "digits", "letters" or "text", or "not digits" where the copy
// only tells the numbers apart.
struct StatedKey {
    std::string section;
    std::string key;
    std::string kind;
    uint32_t capacity;
};

std::string read_source(const std::string& relative) {
    std::ifstream in(std::string(IZ_SOURCE_DIR) + "/" + relative, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string kind_word(ValueKind kind) {
    switch (kind) {
        case ValueKind::Numeric:
            return "digits";
        case ValueKind::Alphabetic:
            return "letters";
        case ValueKind::Text:
            break;
    }
    return "text";
}

// The items of the YAML flow sequence that follows `name` in `text`.
std::vector<std::string> flow_list(const std::string& text, const std::string& name) {
    std::vector<std::string> items;
    size_t at = text.find(name);
    size_t open = text.find('[', at);
    size_t close = text.find(']', open);
    if (at == std::string::npos || open == std::string::npos || close == std::string::npos) {
        return items;
    }
    std::stringstream list(text.substr(open + 1, close - open - 1));
    for (std::string item; std::getline(list, item, ',');) {
        size_t first = item.find_first_not_of(" \r\n");
        size_t last = item.find_last_not_of(" \r\n");
        if (first != std::string::npos) {
            items.push_back(item.substr(first, last - first + 1));
        }
    }
    return items;
}

// The indented block of the YAML mapping `name`: up to the next line that is
// not indented.
std::string yaml_block(const std::string& text, const std::string& name) {
    size_t at = text.find("\n" + name + ":\n");
    if (at == std::string::npos) {
        return "";
    }
    at = text.find('\n', at + 1);
    std::regex end("\n[^ ]");
    std::smatch found;
    std::string rest = text.substr(at);
    return std::regex_search(rest, found, end) ? rest.substr(0, found.position(0)) : rest;
}

bool listed(const std::vector<std::string>& list, const std::string& key) {
    for (const std::string& item : list) {
        if (item == key) {
            return true;
        }
    }
    return false;
}

std::vector<StatedKey> role_keys(const std::string& vars) {
    std::vector<std::string> numeric = flow_list(vars, "\ninstallzova_numeric_keys:");
    std::vector<std::string> switches = flow_list(vars, "\ninstallzova_switch_keys:");
    std::string limits = yaml_block(vars, "installzova_limits");
    std::string sections = yaml_block(vars, "installzova_sections");
    std::vector<StatedKey> keys;
    std::regex section("\n  ([A-Za-z_]+):");
    for (std::sregex_iterator it(sections.begin(), sections.end(), section), end; it != end; ++it) {
        if ((*it)[1] == kOwnSection) {
            continue;
        }
        for (const std::string& key : flow_list(sections.substr(it->position(0) + 1), ":")) {
            std::smatch limit;
            std::regex limit_line("\n  " + key + ": ([0-9]+)\n");
            uint32_t capacity = std::regex_search(limits, limit, limit_line)
                                    ? static_cast<uint32_t>(std::stoul(limit[1]))
                                    : 0;
            std::string kind = listed(numeric, key)    ? "digits"
                               : listed(switches, key) ? "text"
                                                       : "not digits";
            keys.push_back({(*it)[1], key, kind, capacity});
        }
    }
    return keys;
}

// The README's rows "| `SECTION` | `key` | accepts | default |": the kind is
// the first word of what a key accepts, the capacity the number that follows
// "up to" or that kind, where one is given.
std::vector<StatedKey> readme_keys(const std::string& readme) {
    std::vector<StatedKey> keys;
    std::regex row("\n\\| `([A-Z_]+)` \\| `([a-z_]+)` \\| ([^|\n]*) \\|");
    std::regex capacity("(?:^(?:digits|letters), |up to )([0-9]+)");
    for (std::sregex_iterator it(readme.begin(), readme.end(), row), end; it != end; ++it) {
        if ((*it)[1] == kOwnSection) {
            continue;
        }
        std::string accepts = (*it)[3];
        std::string kind = accepts.compare(0, 6, "digits") == 0    ? "digits"
                           : accepts.compare(0, 7, "letters") == 0 ? "letters"
                                                                   : "text";
        std::smatch number;
        uint32_t stated = std::regex_search(accepts, number, capacity)
                              ? static_cast<uint32_t>(std::stoul(number[1]))
                              : 0;
        keys.push_back({(*it)[1], (*it)[2], kind, stated});
    }
    return keys;
}

TEST(SettingsKeys, CopiesOfTheKeyListSayWhatTheProgramsTableSays) {
    struct Copy {
        const char* path;
        std::vector<StatedKey> (*read)(const std::string& text);
    };
    const Copy copies[] = {
        {"deploy/ansible/collections/ansible_collections/kestron/zova/roles/installzova/vars/"
         "main.yml",
         role_keys},
        {"README.md", readme_keys},
    };
    const SettingsTable table = make_settings_table();
    std::vector<std::string> program_keys;
    for (const SettingEntry& entry : table) {
        program_keys.push_back(std::string(entry.section) + " " + entry.key);
    }
    for (const Copy& copy : copies) {
        SCOPED_TRACE(copy.path);
        std::vector<StatedKey> stated = copy.read(read_source(copy.path));
        std::vector<std::string> keys;
        for (const StatedKey& key : stated) {
            keys.push_back(key.section + " " + key.key);
        }
        ASSERT_EQ(program_keys, keys);
        for (size_t i = 0; i < stated.size(); ++i) {
            std::string kind = kind_word(table[i].kind);
            if (stated[i].kind == "not digits" && kind != "digits") {
                kind = "not digits";
            }
            EXPECT_EQ(kind, stated[i].kind) << table[i].key;
            if (stated[i].capacity != 0) {
                EXPECT_EQ(table[i].capacity, stated[i].capacity) << table[i].key;
            }
        }
    }
}

}  // namespace
}  // namespace iz
