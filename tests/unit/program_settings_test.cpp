// The [INSTALLZOVA] section's values.
#include "settings/program_settings.h"

#include <gtest/gtest.h>

namespace iz {
namespace {

TEST(ProgramSettings, ValuesAreParsedOrRefusedWithoutChange) {
    struct Case {
        const char* key;
        const char* value;
        bool valid;
    } cases[] = {
        {"wait_seconds", "0", true},
        {"wait_seconds", "86400", true},
        {"wait_seconds", "86401", false},
        {"wait_seconds", "-1", false},
        {"wait_seconds", "+5", false},
        {"wait_seconds", "5s", false},
        {"wait_seconds", "000000000600", false},
        {"silence_notice_seconds", "30", true},
        {"silence_notice_seconds", "1e3", false},
        {"pending_reboot", "warn", true},
        {"pending_reboot", "STOP", true},
        {"pending_reboot", "Ignore", true},
        {"pending_reboot", "no", false},
        {"pending_reboot", "", false},
        {"waitseconds", "5", false},
    };
    for (const Case& c : cases) {
        ProgramSettings settings;
        settings.wait_seconds = 7;
        settings.silence_notice_seconds = 7;
        settings.pending_reboot = PendingRebootPolicy::Warn;
        EXPECT_EQ(c.valid, parse_program_setting(c.key, c.value, &settings))
            << c.key << "=" << c.value;
        if (!c.valid) {
            EXPECT_EQ(7, settings.wait_seconds);
            EXPECT_EQ(7, settings.silence_notice_seconds);
            EXPECT_EQ(PendingRebootPolicy::Warn, settings.pending_reboot);
        }
    }
    ProgramSettings settings;
    ASSERT_TRUE(parse_program_setting("pending_reboot", "STOP", &settings));
    EXPECT_EQ(PendingRebootPolicy::Stop, settings.pending_reboot);
    ASSERT_TRUE(parse_program_setting("wait_seconds", "86400", &settings));
    EXPECT_EQ(86400, settings.wait_seconds);
}

}  // namespace
}  // namespace iz
