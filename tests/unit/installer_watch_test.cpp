// The echo that follows the run log while the installer runs, against the
// reading after the end: same bytes, same completed flag, whatever the chunks
// the installer writes in; and what happens when the log does not only grow.
#include "installer/installer_watch.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "messages/log_pieces.h"
#include "messages/output.h"
#include "messages/replay.h"
#include "settings/program_settings.h"
#include "support/fake_system.h"
#include "support/test_helpers.h"

namespace iz {
namespace {

// Whether an unfinished line on the console is made of whole pieces: the
// first without its 25-byte prefix, or not prefixed at all, then whole ones.
bool whole_pieces_only(const std::string& tail) {
    const size_t piece = static_cast<size_t>(kPieceLimit);
    const size_t first = piece - 25;
    size_t n = tail.size();
    return n % piece == 0 || (n >= first && (n - first) % piece == 0);
}

// One run on the fake platform: the run log holds `before` when the
// installer starts.
struct FollowedRun {
    explicit FollowedRun(const std::string& before) {
        out.record_run_log(kLog, kStart);
        sys.files[kLog] = before;
    }

    // The installer writes `chunks` one per timed wait while the echo
    // follows; `between` may change the log after each; the replay after the
    // end shows the rest. Every console write made while the installer runs
    // must end a line, or whole pieces of a line longer than one.
    Replay follow(const std::vector<std::string>& chunks,
                  const std::function<void(size_t)>& between = nullptr) {
        size_t written = 0;
        sys.running_waits = static_cast<int>(chunks.size());
        sys.while_running = [&] {
            if (between) {
                between(written);
            }
            sys.files[kLog] += chunks[written++];
            if (!whole_pieces_only(sys.console.substr(sys.console.rfind('\n') + 1))) {
                ADD_FAILURE() << "half a piece shown while the installer runs";
            }
        };
        Replay result;
        EXPECT_EQ(0, watch.wait(ProcessHandle{}, kDefaultSilenceNoticeSeconds));
        watch.replay_installer_log(&result.completed);
        result.shown = sys.console;
        return result;
    }

    FakeSystem sys;
    Output out{sys};
    InstallerWatch watch{sys, out};
};

// What the replay shows when it reads the whole log after the end.
Replay after_the_end(const std::string& log) {
    FollowedRun run(log);
    Replay result;
    run.watch.replay_installer_log(&result.completed);
    result.shown = run.sys.console;
    return result;
}

// One line of a simulated installer (or of an earlier run).
std::string random_line(std::mt19937& random) {
    const std::string prefix = "INFO  12-8-2026 05:14:07 ";
    switch (random() % 10) {
        case 0:
            return installer_line("QIRU09179-I Data for maintenance: 00990001 skipped");
        case 1:
            return installer_line(random() % 2 ? "QIRU09181-I done" : "QIRU09260-W done");
        case 2:  // pieces of 1022 to 1024 bytes, and lines of two pieces
            return prefix + std::string(996 + random() % 4 + (random() % 3) * 1023, 'x') + "\r\n";
        case 3:
            return "continued without a prefix\r\n";
        case 4:
            return installer_line("QIRU09230-I LF alone") + "\n";
        case 5:
            return "\r\r\n";
        case 6:
            return "INFO\r\n";
        case 7:
            return kStart.substr(0, random() % kStart.size()) + "\r\n";
        default:
            return installer_line("QIRU09231-I Copying file " + std::to_string(random()));
    }
}

std::string random_lines(std::mt19937& random, int most) {
    std::string text;
    for (int i = static_cast<int>(random() % (most + 1)); i > 0; --i) {
        text += random_line(random);
    }
    return text;
}

// Earlier runs in front of this one, some with a start line identical to
// this run's and a completion marker.
std::string random_history(std::mt19937& random) {
    std::string history;
    for (int run = static_cast<int>(random() % 3); run > 0; --run) {
        history += (random() % 2 ? kStart : installer_line("QIRU09180-I earlier")) + "\r\n";
        history += random_lines(random, 4) + installer_line("QIRU09181-I earlier run completed");
    }
    return history;
}

// Cuts `text` at random places, often within a line and between CR and LF.
std::vector<std::string> random_chunks(std::mt19937& random, const std::string& text) {
    std::vector<std::string> chunks;
    size_t at = 0;
    while (at < text.size()) {
        size_t length = 1 + random() % (random() % 4 == 0 ? 1500 : 40);
        size_t cr = text.find('\r', at);
        if (random() % 3 == 0 && cr != std::string::npos) {
            length = cr + 1 - at;  // a chunk that ends between CR and LF
        }
        chunks.push_back(text.substr(at, length));
        at += length;
    }
    return chunks;
}

TEST(LiveEcho, FollowingShowsWhatTheReadingAfterTheEndShows) {
    std::mt19937 random(20261209);
    for (int round = 0; round < 3000 && !::testing::Test::HasFailure(); ++round) {
        std::string before = random_history(random) + kStart + "\r\n";
        std::string installer = random_lines(random, 12);
        if (random() % 4 == 0 && !installer.empty()) {
            installer.pop_back();  // a last line without its LF, or its CR LF
            if (random() % 2 == 0 && !installer.empty()) {
                installer.pop_back();
            }
        }
        FollowedRun run(before);
        Replay live = run.follow(random_chunks(random, installer));
        Replay reference = after_the_end(before + installer);
        EXPECT_EQ(reference.shown, live.shown) << "round " << round;
        EXPECT_EQ(reference.completed, live.completed) << "round " << round;
    }
}

TEST(LiveEcho, LinesAppearAsSoonAsTheyAreComplete) {
    FollowedRun run(kStart + "\r\n");
    std::vector<std::string> chunks = {
        "",   installer_line("QIRU09230-I one"), "INFO  12-8-2026 05:14:07 QIRU", "09231-I two\r",
        "\n", installer_line("QIRU09181-I done")};
    std::vector<std::string> seen;
    Replay end = run.follow(chunks, [&](size_t) { seen.push_back(run.sys.console); });
    std::vector<std::string> expected = {
        "",  // before the first look
        "",  // nothing before the installer's first line
        "QIRU09230-I one\n",
        "QIRU09230-I one\n",
        "QIRU09230-I one\n",  // its CR LF split between two writes
        "QIRU09230-I one\nQIRU09231-I two\n",
    };
    EXPECT_EQ(expected, seen);
    EXPECT_EQ("QIRU09230-I one\nQIRU09231-I two\nQIRU09181-I done\n", end.shown);
    EXPECT_TRUE(end.completed);
}

// A log that does not only grow stops the echo: what was shown stays, nothing
// is shown twice or from another log, and the run does not count as
// completed, whatever the changed log holds.
TEST(LiveEcho, ShrunkOrReplacedLogStopsTheEcho) {
    const std::string one = installer_line("QIRU09230-I one");
    const std::string done = installer_line("QIRU09181-I done");
    struct Case {
        const char* name;
        std::string changed;
    } cases[] = {
        {"shrunk", kStart + "\r\n"},
        {"emptied", ""},
        {"replaced without the start line", one + done},
        {"start line moved", "x\r\n" + kStart + "\r\n" + one},
    };
    for (const Case& c : cases) {
        FollowedRun run(kStart + "\r\n");
        Replay r = run.follow({one, "", done}, [&](size_t step) {
            if (step == 2) {
                run.sys.files[kLog] = c.changed;
            }
        });
        EXPECT_EQ("QIRU09230-I one\n", r.shown) << c.name;
        EXPECT_FALSE(r.completed) << c.name;
    }
}

// The console control handler shows what the echo has not, complete lines
// only while the installer runs; after it, nothing more is shown by anyone.
TEST(LiveEcho, HandlerShowsWhatIsLeftOnce) {
    FollowedRun run(kStart + "\r\n");
    Replay r =
        run.follow({installer_line("QIRU09230-I one") + installer_line("QIRU09181-I done") + "half",
                    " the rest\r\n"},
                   [&](size_t step) {
                       if (step == 1) {
                           bool completed = false;
                           run.watch.replay_installer_log(&completed);
                           EXPECT_TRUE(completed);
                       }
                   });
    EXPECT_EQ("QIRU09230-I one\nQIRU09181-I done\n", r.shown);
    EXPECT_TRUE(r.completed);
}

}  // namespace
}  // namespace iz
