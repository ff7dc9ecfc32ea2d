// Replay of the installer's lines from the run log, and the backward search
// for this run's start line checked against a plain forward reading.
#include "messages/replay.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "installer/installer_watch.h"
#include "messages/log_pieces.h"
#include "messages/output.h"
#include "support/fake_system.h"
#include "support/test_helpers.h"

namespace iz {
namespace {

std::string line(const std::string& text) {
    return installer_line(text);
}

class ReplayTest : public ::testing::Test {
  protected:
    void SetUp() override { out.record_run_log(kLog, kStart); }
    // What the watch's replay shows and tells.
    Replay replay() {
        sys.console.clear();
        Replay result;
        watch->replay_installer_log(&result.completed);
        result.shown = sys.console;
        return result;
    }
    // A watch whose replay has not run yet.
    void fresh_watch() { watch = std::make_unique<InstallerWatch>(sys, out); }
    FakeSystem sys;
    Output out{sys};
    std::unique_ptr<InstallerWatch> watch = std::make_unique<InstallerWatch>(sys, out);
};

TEST_F(ReplayTest, FirstCallShowsInstallerLinesLaterCallsOnlyScan) {
    sys.files[kLog] = kStart + "\r\n" + line("QIRU09179-I Data for maintenance: 00100635 k=v") +
                      line("QIRU09181-I Completed.") + "second part of a message\r\n";
    Replay first = replay();
    EXPECT_EQ("QIRU09181-I Completed.\nsecond part of a message\n", first.shown);
    EXPECT_TRUE(first.completed);
    Replay second = replay();
    EXPECT_EQ("", second.shown);
    EXPECT_TRUE(second.completed);
}

TEST_F(ReplayTest, EarlierRunsAreNeverShownOrCounted) {
    sys.files[kLog] = line("QIRU09180-I earlier start") + line("QIRU09181-I Completed.") + kStart +
                      "\r\n" + line("QIRU09230-I Installing.");
    Replay r = replay();
    EXPECT_EQ("QIRU09230-I Installing.\n", r.shown);
    EXPECT_FALSE(r.completed);
}

TEST_F(ReplayTest, IdenticalStartLineOfAnEarlierRunIsPassedOver) {
    sys.files[kLog] = kStart + "\r\n" + line("QIRU09181-I Earlier run completed.") + kStart +
                      "\r\n" + line("QIRU09230-I This run.");
    Replay r = replay();
    EXPECT_EQ("QIRU09230-I This run.\n", r.shown);
    EXPECT_FALSE(r.completed);
}

TEST_F(ReplayTest, MarkersCountWithAnySeverityOnlyAtTheTextOffset) {
    struct Case {
        std::string piece;
        bool completed;
    } cases[] = {
        {line("QIRU09181-I done"), true},
        {line("QIRU09182-E done"), true},
        {line("QIRU09259"), true},
        {line("QIRU09260-W done"), true},
        {line("QIRU0918"), false},
        {line(" QIRU09181-I shifted"), false},
        {"QIRU09181-I without prefix\r\n", false},
        {"XXXX  12-8-2026 05:14:07 QIRU09181-I other prefix\r\n", true},
        {line("QIRU09179-I Data for maintenance: QIRU09181"), false},
        {"INFO short\r\n", false},
    };
    for (const Case& c : cases) {
        sys.files[kLog] = kStart + "\r\n" + c.piece;
        fresh_watch();
        EXPECT_EQ(c.completed, replay().completed) << c.piece;
    }
}

TEST_F(ReplayTest, WhatIsShownOfEachKindOfLine) {
    struct Case {
        std::string piece;
        std::string shown;
    } cases[] = {
        {"INFO short\r\n", ""},  // prefixed but shorter than 25 bytes
        {"INFO\r\n", ""},
        {"other\r\n", "other\n"},  // shown whole
        {"", ""},
        {line("QIRU09230-I last line without end").substr(0, 58),
         "QIRU09230-I last line without end"},
        {line("QIRU09179-E also maintenance"), ""},  // severity letter not compared
        {"INFO  12-8-2026 05:14:07 \r\n", "\n"},
    };
    for (const Case& c : cases) {
        sys.files[kLog] = kStart + "\r\n" + c.piece;
        fresh_watch();
        EXPECT_EQ(c.shown, replay().shown) << c.piece;
    }
}

TEST_F(ReplayTest, LongLinesArriveInPiecesOf1023Bytes) {
    std::string text = "QIRU09230-I " + std::string(2500, 'x');
    sys.files[kLog] = kStart + "\r\n" + line(text);
    Replay r = replay();
    // The later pieces do not begin with "INFO", so the line is shown whole.
    EXPECT_EQ(text + "\n", r.shown);
    // A piece that begins with a marker counts even inside a longer line.
    sys.files[kLog] = kStart + "\r\n" + line(std::string(998, 'y') + "QIRU09181-I done");
    fresh_watch();
    EXPECT_FALSE(replay().completed);
    sys.files[kLog] = kStart + "\r\n" + line(std::string(998, 'y')) +
                      "INFO  12-8-2026 05:14:07 "
                      "QIRU09181 x\r\n";
    fresh_watch();
    EXPECT_TRUE(replay().completed);
}

TEST_F(ReplayTest, NothingWithoutARunLogOrAStartLine) {
    Replay missing = replay();
    EXPECT_FALSE(missing.completed);
    // The failed call still counts as the replay: a later one only scans.
    sys.files[kLog] = kStart + "\r\n" + line("QIRU09181-I done");
    EXPECT_EQ("", replay().shown);
    sys.files[kLog] = line("QIRU09181-I replaced log");
    fresh_watch();
    Replay replaced = replay();
    EXPECT_EQ("", replaced.shown);
    EXPECT_FALSE(replaced.completed);
    FakeSystem other;
    Output unopened(other);
    InstallerWatch unopened_watch(other, unopened);
    bool completed = true;
    unopened_watch.replay_installer_log(&completed);
    EXPECT_FALSE(completed);
}

// The straightforward reading: the whole log through a text-mode line reader
// with a 1024-byte buffer, the last start piece, then every piece after it.
Replay forward_reference(const std::string& log, const std::string& start) {
    std::string converted;
    for (size_t i = 0; i < log.size(); ++i) {
        if (!(log[i] == '\r' && i + 1 < log.size() && log[i + 1] == '\n')) {
            converted += log[i];
        }
    }
    std::vector<std::string> pieces;
    std::string piece;
    for (char c : converted) {
        piece += c;
        if (c == '\n' || piece.size() == 1023) {
            pieces.push_back(piece);
            piece.clear();
        }
    }
    if (!piece.empty()) {
        pieces.push_back(piece);
    }
    int last = -1;
    for (size_t i = 0; i < pieces.size(); ++i) {
        if (pieces[i].compare(0, start.size(), start) == 0 && pieces[i].size() >= start.size()) {
            last = static_cast<int>(i);
        }
    }
    Replay result;
    for (size_t i = static_cast<size_t>(last) + 1; last >= 0 && i < pieces.size(); ++i) {
        if (replay_piece(pieces[i], &result.shown)) {
            result.completed = true;
        }
    }
    return result;
}

std::string random_log(std::mt19937& random, const std::string& start) {
    std::uniform_int_distribution<int> kind(0, 11);
    std::uniform_int_distribution<int> count(0, 30);
    std::string log;
    int lines = count(random);
    for (int i = 0; i < lines; ++i) {
        switch (kind(random)) {
            case 0:
                log += start + "\r\n";
                break;
            case 1:
                log += start + "\n";
                break;
            case 2:
                log += std::string(1022 - 25 - (random() % 3), 'a') + start + "\r\n";
                break;
            case 3:
                log += std::string(1023 * (1 + random() % 2), 'b') + start + "x\r\n";
                break;
            case 4:
                log += line("QIRU09181-I done");
                break;
            case 5:
                log += line("QIRU09179-I Data for maintenance: skip");
                break;
            case 6:
                log += std::string(1021 + random() % 4, 'c') + "\r\n";
                break;
            case 7:
                log += "\r\r\n\r";
                break;
            case 8:
                log += line("QIRU09230-I " + std::string(random() % 1100, 'd'));
                break;
            case 9:
                log += start.substr(0, random() % start.size()) + "\n";
                break;
            case 10:
                log += "INFO\n";
                break;
            default:
                log += line("QIRU09260-W " + std::to_string(random()));
                break;
        }
    }
    if (random() % 4 == 0 && !log.empty()) {
        log.pop_back();  // no line end at the end of the log
    }
    return log;
}

TEST_F(ReplayTest, BackwardSearchAgreesWithTheForwardReadingOnRandomLogs) {
    std::mt19937 random(20261209);
    int differences = 0;
    for (int round = 0; round < 4000; ++round) {
        std::string log = random_log(random, kStart);
        sys.files[kLog] = log;
        fresh_watch();
        Replay expected = forward_reference(log, kStart);
        Replay actual = replay();
        if (expected.shown != actual.shown || expected.completed != actual.completed) {
            ADD_FAILURE() << "round " << round << " differs";
            if (++differences > 3) {
                break;
            }
        }
    }
}

}  // namespace
}  // namespace iz
