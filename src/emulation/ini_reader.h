// The INI reader of the platforms without GetPrivateProfileStringA. It answers
// byte for byte like that call under code page 1252, so that a settings file
// reads the same on every platform. It is plain C++ with no OS header, so the
// test fake can use it on Windows as well.
#pragma once

#include <string>

namespace iz {

// What GetPrivateProfileStringA(section, key, fallback, buffer, size, file)
// stores with a buffer large enough for anything: the whole value, not cut,
// for a file whose bytes are `content` (`content` null: the file does not
// exist; `unreadable` true: it exists but cannot be opened for reading, e.g.
// it is a folder).
std::string ini_profile_value(const std::string* content, bool unreadable,
                              const std::string& section, const std::string& key,
                              const std::string& fallback);

// Reads the file at `path` and answers as above (missing file, folder, unreadable handled).
std::string ini_profile_value_from_file(const std::string& path, const std::string& section,
                                        const std::string& key, const std::string& fallback);

}  // namespace iz
