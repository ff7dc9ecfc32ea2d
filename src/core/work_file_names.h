// The files the program writes or reads in the work folder.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>

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

// The paths of the files in the run's work folder.
struct WorkPaths {
    std::string run_log;
    std::string response;
    std::string installer_log;
    std::string options;
    std::string result_record;
};

}  // namespace iz
