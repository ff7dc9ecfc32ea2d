// The INI reader of the platforms without GetPrivateProfileStringA. It answers
// byte for byte like that call under code page 1252, so that a settings file
// reads the same on every platform. It is plain C++ with no OS header, so the
// test fake can use it on Windows as well.
#pragma once

#include <cstdint>
#include <string>

namespace iz {

// Answers like GetPrivateProfileStringA(section, key, fallback, buffer, size, file)
// with non-null section and key, for a file whose bytes are `content`
// (`content` null: the file does not exist; `unreadable` true: it exists but
// cannot be opened for reading, e.g. it is a folder).
uint32_t ini_profile_string(const std::string* content, bool unreadable, const char* section,
                            const char* key, const char* fallback, char* buffer, uint32_t size);

// Reads the file at `path` and answers as above (missing file, folder, unreadable handled).
uint32_t ini_profile_string_from_file(const char* path, const char* section, const char* key,
                                      const char* fallback, char* buffer, uint32_t size);

}  // namespace iz
