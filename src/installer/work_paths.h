// The files a run makes in its work folder.
#pragma once

#include <string>

namespace iz {

struct WorkPaths {
    std::string run_log;        // <work folder>\installzova.log
    std::string response;       // <work folder>\setup.iss
    std::string installer_log;  // <work folder>\setup.log
    std::string options;        // <work folder>\setoptions.bat
    std::string result_record;  // <work folder>\installzova-result.json
};

}  // namespace iz
