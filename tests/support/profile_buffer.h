// The INI reader asked the way the Windows call is asked, with a buffer of
// `size` bytes: the reader's whole value, cut as the call cuts it. The
// conformance corpus, the differential test and the fuzz checks compare
// such answers with the call's.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "core/windows_buffer.h"
#include "emulation/ini_reader.h"

namespace iz {

// Stores what the call leaves of `value` in `buffer` and returns the length
// it answers; a null or empty buffer gets nothing.
inline uint32_t store_in_buffer(const std::string& value, char* buffer, uint32_t size) {
    if (buffer == nullptr || size == 0) {
        return 0;
    }
    const std::string kept = cut_to_buffer(value, size);
    std::memcpy(buffer, kept.c_str(), kept.size() + 1);
    return static_cast<uint32_t>(kept.size());
}

inline uint32_t ini_profile_string(const std::string* content, bool unreadable, const char* section,
                                   const char* key, const char* fallback, char* buffer,
                                   uint32_t size) {
    return store_in_buffer(
        ini_profile_value(content, unreadable, section, key, fallback != nullptr ? fallback : ""),
        buffer, size);
}

// A null path names no file; a null default is an empty one.
inline uint32_t ini_profile_string_from_file(const char* path, const char* section, const char* key,
                                             const char* fallback, char* buffer, uint32_t size) {
    return store_in_buffer(ini_profile_value_from_file(path != nullptr ? path : "", section, key,
                                                       fallback != nullptr ? fallback : ""),
                           buffer, size);
}

}  // namespace iz
