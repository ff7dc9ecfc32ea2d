// Showing the installer's lines while it runs: the run log is followed from
// this run's start line, and each line is printed as soon as it is complete,
// by the same rules as the replay after the end. The replay then prints only
// what is left, so the whole output is the same, only sooner.
#pragma once

#include <cstdint>

namespace iz {

struct RunState;
struct ProcessHandle;
class ReadableFile;

// How often the run log is looked at while the installer runs. Between looks
// the program waits for the installer blocked, so a quiet installer costs no
// processor time.
const unsigned kFollowPeriodMs = 40;

// Waits for the installer to end, showing its complete lines every
// kFollowPeriodMs meanwhile. When the run log has not changed for
// state.program.silence_notice_seconds (not 0), reports message 22 on the
// console and in the run log, and again after each further such period; the
// installer is never ended or signalled. Returns 0 once it has ended, else
// the wait's error number.
int wait_following_run_log(RunState& state, const ProcessHandle& process);

// One look at the run log: shows the lines completed since the last one.
// Nothing once the replay has claimed the echo or the following has stopped.
// A run log that cannot be opened this moment is tried again the next time;
// one that shrank below what was shown, or no longer holds this run's start
// line where it was found, stops the following for good.
// Returns true when the run log had changed since the last look.
bool follow_installer_log(RunState& state);

// For the replay, with state.echo.lock held: shows what has not been shown
// yet of the run log `file`, whose last start line is at `start`. While the
// installer may still write, only complete lines; once it has ended, to the
// end of the file. Returns false when the following had stopped, or stops it
// now because the file is no longer the one followed: nothing is shown then.
bool echo_unshown(RunState& state, ReadableFile& file, int64_t start);

}  // namespace iz
