// Who counts as an administrator: the groups of the process token.
#include "main/administrator.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/fake_system.h"

namespace iz {
namespace {

TEST(Administrator, RelativeIdsCountAtAnyPositionWhateverTheAttributes) {
    struct Case {
        std::vector<TokenGroup> groups;
        bool expected;
    } cases[] = {
        {{TokenGroup{{32, 544}, 0x7}}, true},           // enabled Administrators alias
        {{TokenGroup{{32, 544}, 0x0}}, true},           // present, not enabled
        {{TokenGroup{{32, 544}, 0x10}}, true},          // deny-only
        {{TokenGroup{{21, 1, 2, 3, 512}, 0x7}}, true},  // Domain Admins
        {{TokenGroup{{512, 21, 1}, 0x7}}, true},        // 512 at sub-authority 0
        {{TokenGroup{{21, 544, 7}, 0x7}}, true},        // 544 in the middle
        {{TokenGroup{{32, 545}, 0x7}, TokenGroup{{21, 1, 513}, 0x7}}, false},  // Users only
        {{}, false},
        {{TokenGroup{{}, 0x7}, TokenGroup{{5, 544}, 0}}, true},  // second group counts
    };
    for (const Case& c : cases) {
        FakeSystem sys;
        sys.groups = c.groups;
        EXPECT_EQ(c.expected, is_administrator(sys));
    }
    FakeSystem unreadable;
    unreadable.groups.push_back(administrators_group());
    unreadable.token_readable = false;
    EXPECT_FALSE(is_administrator(unreadable));
}

}  // namespace
}  // namespace iz
