// Watching the installer: while it runs, its run log is followed from this
// run's start line and each of its lines is shown as soon as it is complete
// (a line longer than a replay piece piece by piece, as each piece is), by the
// same rules as the replay after its end, so the whole output is the same,
// only sooner; a silent installer draws a notice now and then; the console
// control handler shows what is left; the replay after the end shows the
// rest and tells whether the installation completed.
//
// One object owns the position in the run log and the lock that guards it.
// Nothing is held while the console is written: the text is taken under the
// lock, in chunks of bounded size, and written after it is released, so a
// console that blocks never keeps another thread from the position. Memory
// stays bounded whatever the installer writes, and each byte it writes is
// read about once.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <string>

#include "core/thread_annotations.h"

namespace iz {

class Output;
class ReadableFile;
class System;
struct ProcessHandle;

// How often the run log is looked at while the installer runs. Between looks
// the program waits for the installer blocked, so a quiet installer costs no
// processor time.
const unsigned kFollowPeriodMs = 40;
// The most text one console write of the watch carries.
const size_t kEchoChunk = 64 * 1024;
// How long the handler's replay waits for a console write of the main thread
// that is under way, so that their lines keep their order; a console that
// blocks for longer is not waited for.
const unsigned kWriteWaitMs = 1000;

class InstallerWatch {
  public:
    // Follows the run log that `out` records.
    InstallerWatch(System& sys, Output& out);
    InstallerWatch(const InstallerWatch&) = delete;
    InstallerWatch& operator=(const InstallerWatch&) = delete;

    // Waits for the installer to end, following the run log every
    // kFollowPeriodMs. When the run log has not changed for
    // `silence_notice_seconds` (not 0), reports QIRU09306 on the console and
    // in the run log, and again after each further such period; the
    // installer is never ended or signalled. Returns 0 once it has ended,
    // else the wait's error number.
    int wait(const ProcessHandle& process, int64_t silence_notice_seconds) IZ_EXCLUDES(mutex_);

    // One look at the run log: shows what was completed since the last one.
    // Nothing once the replay has claimed the watch or the following has
    // stopped. A run log that cannot be opened this moment is tried again the
    // next time; one that shrank below what was shown, or no longer holds
    // this run's start line or the bytes last shown where they were, stops
    // the following for good. Returns true when the run log had changed.
    bool follow() IZ_EXCLUDES(mutex_);

    // Sets `completed` when a completion marker follows this run's start
    // line. Only the first call of a run (on any thread) shows lines,
    // those not shown yet; later calls only scan. A log that shrank or was
    // replaced while followed counts as not completed. Never writes the run
    // log.
    void replay_installer_log(bool* completed) IZ_EXCLUDES(mutex_);

    // The raw offset of this run's start line in the run log, -1 until it
    // was found.
    int64_t start_offset() IZ_EXCLUDES(mutex_);

  private:
    bool look_changed(int64_t size) IZ_REQUIRES(mutex_);
    bool still_followed(ReadableFile& file) IZ_REQUIRES(mutex_);
    void remember_tail(ReadableFile& file) IZ_REQUIRES(mutex_);
    std::string take_chunk(ReadableFile& file, int64_t* next, bool whole_lines, bool* more)
        IZ_REQUIRES(mutex_);
    bool show_unshown(ReadableFile& file, int64_t start) IZ_EXCLUDES(mutex_);
    void show(const std::string& text) IZ_EXCLUDES(mutex_);
    void set_running(bool running) IZ_EXCLUDES(mutex_);
    void notify_silence(const ProcessHandle& process, int64_t run_ms, int64_t silent_ms)
        IZ_EXCLUDES(mutex_);

    System& sys_;
    Output& out_;
    Mutex mutex_;
    std::condition_variable_any written_;
    int64_t start_ IZ_GUARDED_BY(mutex_) = -1;      // raw offset of this run's start line
    int64_t next_ IZ_GUARDED_BY(mutex_) = -1;       // raw offset of the first byte not shown
    std::string shown_tail_ IZ_GUARDED_BY(mutex_);  // the last bytes before next_, as read
    int64_t looked_at_size_ IZ_GUARDED_BY(mutex_) = -1;
    // The run log shrank or lost what was read of it: nothing more is shown.
    bool stopped_ IZ_GUARDED_BY(mutex_) = false;
    // The installer may still write: its last piece may not be whole yet.
    bool installer_running_ IZ_GUARDED_BY(mutex_) = false;
    // The last line shown, cut, for the notice about a silent installer.
    std::string last_line_ IZ_GUARDED_BY(mutex_);
    // Text taken under the lock and not written to the console yet.
    int writes_under_way_ IZ_GUARDED_BY(mutex_) = 0;
    // The replay after the end (or the console handler's) has claimed the
    // watch: nothing more is followed.
    bool log_replayed_ IZ_GUARDED_BY(mutex_) = false;
};

}  // namespace iz
