// What the run learns about the installer: whether it ran to its end and
// with which exit code, the result code it left in setup.log, whether it
// completed the installation, and whether the work files were removed after
// it. The console handler's thread may read the result and remove the work
// files while the main thread waits: what both touch is atomic.
#pragma once

#include <atomic>
#include <cstdint>

namespace iz {

struct InstallerOutcome {
    bool exited = false;
    uint32_t exit_code = 0;
    std::atomic<bool> result_code_read{false};
    std::atomic<int> result_code{0};
    bool completed = false;
    std::atomic<bool> work_files_removed{false};
};

}  // namespace iz
