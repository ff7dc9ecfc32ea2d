// The settings keys are written out twice beside the program's table: in the
// Ansible role's variables and in the README's table of keys. Both must say
// what the table says, in its order.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "settings/settings_table.h"

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

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::stringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The indented lines of the YAML mapping `name`: up to the next line that is
// not indented.
std::vector<std::string> yaml_block(const std::string& text, const std::string& name) {
    std::vector<std::string> block;
    bool inside = false;
    for (const std::string& line : lines_of(text)) {
        if (inside && line.compare(0, 1, " ") != 0) {
            break;
        }
        if (inside) {
            block.push_back(line);
        }
        inside = inside || line == name + ":";
    }
    return block;
}

// The whole number that starts at `at` in `text`; 0 when there is none.
uint32_t number_at(const std::string& text, size_t at) {
    uint32_t number = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        number = number * 10 + static_cast<uint32_t>(text[at] - '0');
    }
    return number;
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
    std::vector<std::string> limits = yaml_block(vars, "installzova_limits");
    std::vector<std::string> sections = yaml_block(vars, "installzova_sections");
    std::vector<StatedKey> keys;
    for (size_t i = 0; i < sections.size(); ++i) {
        const std::string& line = sections[i];
        size_t colon = line.find(':');
        if (line.compare(0, 2, "  ") != 0 || line[2] == ' ' || line[2] == '[' ||
            colon == std::string::npos || line.substr(2, colon - 2) == kOwnSection) {
            continue;
        }
        std::string rest;
        for (size_t j = i; j < sections.size(); ++j) {
            rest += sections[j] + "\n";
        }
        for (const std::string& key : flow_list(rest, ":")) {
            uint32_t capacity = 0;
            for (const std::string& limit : limits) {
                if (limit.compare(0, key.size() + 4, "  " + key + ": ") == 0) {
                    capacity = number_at(limit, key.size() + 4);
                }
            }
            std::string kind = listed(numeric, key)    ? "digits"
                               : listed(switches, key) ? "text"
                                                       : "not digits";
            keys.push_back({line.substr(2, colon - 2), key, kind, capacity});
        }
    }
    return keys;
}

// The cell of a Markdown table row between backquotes, or "" when it has none.
std::string quoted_cell(const std::string& cell) {
    size_t last = cell.size() - 1;
    return cell.size() > 2 && cell[0] == '`' && cell[last] == '`' ? cell.substr(1, last - 1) : "";
}

// The README's rows "| `SECTION` | `key` | accepts | default |", the section
// in capitals: the kind is the first word of what a key accepts, the capacity
// the number that follows "up to" or that kind, where one is given.
std::vector<StatedKey> readme_keys(const std::string& readme) {
    std::vector<StatedKey> keys;
    for (const std::string& line : lines_of(readme)) {
        std::vector<std::string> cells;
        std::stringstream row(line);
        for (std::string cell; std::getline(row, cell, '|');) {
            size_t first = cell.find_first_not_of(' ');
            size_t last = cell.find_last_not_of(' ');
            cells.push_back(first == std::string::npos ? "" : cell.substr(first, last - first + 1));
        }
        if (cells.size() < 4 || !cells[0].empty()) {
            continue;
        }
        std::string section = quoted_cell(cells[1]);
        std::string key = quoted_cell(cells[2]);
        if (section.empty() || key.empty() || section == kOwnSection ||
            section.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ_") != std::string::npos) {
            continue;
        }
        const std::string& accepts = cells[3];
        std::string kind = accepts.compare(0, 6, "digits") == 0    ? "digits"
                           : accepts.compare(0, 7, "letters") == 0 ? "letters"
                                                                   : "text";
        size_t up_to = accepts.find("up to ");
        size_t after_kind = kind == "text" ? std::string::npos : kind.size() + 2;
        uint32_t stated = up_to != std::string::npos        ? number_at(accepts, up_to + 6)
                          : after_kind != std::string::npos ? number_at(accepts, after_kind)
                                                            : 0;
        keys.push_back({section, key, kind, stated});
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
