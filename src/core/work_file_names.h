// The files the program writes or reads in the work folder.
#pragma once

#include <algorithm>
#include <cstddef>

namespace iz {

const char kRunLogName[] = "installzova.log";
const char kResponseName[] = "setup.iss";
const char kInstallerLogName[] = "setup.log";
const char kOptionsName[] = "setoptions.bat";
const char kResultRecordName[] = "installzova-result.json";

// The longest of them: the work folder's path must leave room for it.
const size_t kLongestWorkFileName =
    std::max({sizeof kRunLogName, sizeof kResponseName, sizeof kInstallerLogName,
              sizeof kOptionsName, sizeof kResultRecordName}) -
    1;

}  // namespace iz
