#include "main/administrator.h"

#include <vector>

#include "platform/system.h"

namespace iz {

namespace {
const uint32_t kDomainAdmins = 512;
const uint32_t kAdministrators = 544;
}  // namespace

bool is_administrator(System& sys) {
    std::vector<TokenGroup> groups;
    if (!sys.token_groups(&groups)) {
        return false;
    }
    // Disabled and deny-only groups count on purpose: the question is who the
    // user is, not what the token may do right now.
    for (const TokenGroup& group : groups) {
        for (uint32_t id : group.sub_authorities) {
            if (id == kDomainAdmins || id == kAdministrators) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace iz
