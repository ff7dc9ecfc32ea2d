#include "core/machine_report.h"

namespace iz {

const char* policy_name(PendingRebootPolicy policy) {
    switch (policy) {
        case PendingRebootPolicy::Stop:
            return "stop";
        case PendingRebootPolicy::Ignore:
            return "ignore";
        case PendingRebootPolicy::Warn:
            break;
    }
    return "warn";
}

}  // namespace iz
