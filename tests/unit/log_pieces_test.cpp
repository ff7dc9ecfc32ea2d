// The backward search for this run's start line in the run log.
#include "messages/log_pieces.h"

#include <gtest/gtest.h>

#include <memory>

#include "support/fake_system.h"
#include "support/test_helpers.h"

namespace iz {
namespace {

TEST(LogPieces, StartLineAtTheVeryBeginningAndTheVeryEnd) {
    struct Case {
        std::string log;
        int64_t offset;
    } cases[] = {
        {kStart, 0},
        {kStart + "\r\n", 0},
        {"x\r\n" + kStart, 3},
        {"x\n" + kStart + "\n" + kStart, static_cast<int64_t>(3 + kStart.size())},
        {std::string(1023, 'z') + kStart + "\n", 1023},
        {std::string(1022, 'z') + kStart + "\n", -1},
        {std::string(1022, 'z') + "\r\n" + kStart, 1024},
        {"", -1},
    };
    for (const Case& c : cases) {
        FakeSystem sys;
        sys.files["f"] = c.log;
        std::unique_ptr<ReadableFile> file = sys.open_for_reading("f");
        EXPECT_EQ(c.offset, find_last_start(*file, kStart)) << c.log.size();
    }
}

}  // namespace
}  // namespace iz
