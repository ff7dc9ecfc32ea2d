// The program's own settings, from the [INSTALLZOVA] section of the settings
// file, apart from the product's table.
#pragma once

#include <cstdint>

#include "core/machine_report.h"

namespace iz {

const int64_t kDefaultWaitSeconds = 600;
const int64_t kDefaultSilenceNoticeSeconds = 900;
const int64_t kMaxProgramSeconds = 86400;

struct ProgramSettings {
    // How long a run waits for another installation; 0: not at all.
    int64_t wait_seconds = kDefaultWaitSeconds;
    PendingRebootPolicy pending_reboot = PendingRebootPolicy::Warn;
    // How long a silent installer goes before a notice; 0: no notice.
    int64_t silence_notice_seconds = kDefaultSilenceNoticeSeconds;
    // Whether the settings file has the section with any of its keys.
    bool present = false;
};

}  // namespace iz
