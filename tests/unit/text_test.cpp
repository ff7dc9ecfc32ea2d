// The 255-byte cut that never halves a double-byte character, and case
// folding.
#include "messages/text.h"

#include <gtest/gtest.h>

#include "core/ascii.h"
#include "messages/catalogue.h"
#include "messages/output.h"
#include "support/fake_system.h"
#include "support/test_helpers.h"

namespace iz {
namespace {

TEST(Text, CutNeverLeavesHalfADoubleByteCharacter) {
    FakeSystem sys;
    sys.language_name = "Japanese";
    Output out(sys);
    ASSERT_EQ(Language::Japanese, out.language());
    struct Case {
        std::string text;
        size_t expected;
    } cases[] = {
        {std::string(255, 'a'), 255},
        {std::string(300, 'a'), 255},
        {std::string(254, 'a') + bytes({0x83, 0x56}), 254},        // lead byte at 255: dropped
        {std::string(253, 'a') + bytes({0x83, 0x56, 0x41}), 255},  // the pair fits
        // A trail byte in the lead range is still a trail byte: only the walk
        // from the start tells which one dangles.
        {"a" + std::string(254, '\x83') + "zz", 255},
        {"aa" + std::string(254, '\x83') + "zz", 254},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, limit_text(out, c.text).size());
    }
    FakeSystem english;
    Output single_bytes_only(english);
    single_bytes_only.language();
    EXPECT_EQ(255u,
              limit_text(single_bytes_only, std::string(254, 'a') + bytes({0x83, 0x56})).size());
}

TEST(Text, CaseInsensitiveComparisonFoldsAsciiOnly) {
    EXPECT_TRUE(equals_ignore_case("ALL", "all"));
    EXPECT_TRUE(equals_ignore_case("On", "on"));
    EXPECT_FALSE(equals_ignore_case("on ", "on"));
    EXPECT_FALSE(equals_ignore_case("\xC9", "\xE9"));
    EXPECT_FALSE(equals_ignore_case("", "y"));
}

}  // namespace
}  // namespace iz
