// ASCII case folding: the only folding Windows applies to the names the
// program compares (INI sections and keys, settings values, charset and
// language names). Bytes and characters beyond ASCII are never folded.
#pragma once

#include <string>

namespace iz {

template <typename Char>
Char ascii_lower(Char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<Char>(c - 'A' + 'a') : c;
}

inline bool equals_ignore_case(const char* a, const char* b) {
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        if (ascii_lower(*a) != ascii_lower(*b)) {
            return false;
        }
    }
    return *a == *b;
}

inline bool equals_ignore_case(const std::string& a, const char* b) {
    return equals_ignore_case(a.c_str(), b);
}

}  // namespace iz
