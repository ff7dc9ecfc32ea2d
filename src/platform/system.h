// The operating system, as the program sees it. Every facility the core needs
// is one operation here. A call that can fail returns 0 or the platform's
// error number (or an answer beside it); a text comes back whole, and where
// the program's behaviour depends on the size of a buffer a Windows call was
// given, the core cuts the text (core/windows_buffer.h), so that it reads the
// same on every platform. src/platform/posix and src/platform/win32 each define the
// real one; tests/support defines a fake that stages every answer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace iz {

// One group of the process's access token: the sub-authorities of its
// security identifier, in order, and its attribute flags (enabled,
// deny-only, ...), which the administrator test deliberately ignores.
struct TokenGroup {
    std::vector<uint32_t> sub_authorities;
    uint32_t attributes = 0;
};

struct LocalTime {
    int year = 0;    // four digits
    int month = 0;   // 1 to 12
    int day = 0;     // 1 to 31
    int hour = 0;    // 0 to 23
    int minute = 0;  // 0 to 59
    int second = 0;  // 0 to 59
};

struct OsVersion {
    uint32_t major = 0;
    uint32_t minor = 0;
};

// Outcome of asking whether this is a 32-bit process on 64-bit Windows.
enum class Wow64Answer { Ok, NoModule, NoFunction, CallFailed };

// Outcome of reading one value of a key under HKEY_LOCAL_MACHINE.
enum class RegistryAnswer { Ok, KeyMissing, ValueMissing, ValueTooLarge };

// A started child process. The handles are the platform's own; the core only
// passes them back.
struct ProcessHandle {
    intptr_t process = 0;
    intptr_t thread = 0;
    int64_t id = 0;  // the process id, for messages
};

// Outcome of one try at the machine-wide lock of installzova runs.
enum class MachineLock { Taken, Busy, Failed };

// Console control events, numbered as Windows numbers them; Windows may send
// others.
enum class ConsoleEvent { CtrlC = 0, CtrlBreak = 1, Close = 2, Logoff = 5, Shutdown = 6 };

// Called on a thread of the platform's when a console event arrives. Returns
// true when the event is handled, false to let the platform's default
// handling end the process.
using ConsoleHandler = bool (*)(ConsoleEvent event, void* context);

// An open file read by offset; nothing is kept between calls but the handle.
class ReadableFile {
  public:
    virtual ~ReadableFile() = default;
    // Current size in bytes, or -1 when it cannot be taken.
    virtual int64_t size() = 0;
    // Reads up to `count` bytes at `offset`; returns the number read (0 at the
    // end of the file), or -1 on failure.
    virtual int64_t read_at(int64_t offset, char* buffer, int64_t count) = 0;
};

const uint32_t kInvalidFileAttributes = 0xFFFFFFFFu;
const uint32_t kFileAttributeDirectory = 0x10u;

class System {
  public:
    virtual ~System() = default;

    // --- Administrator check ---------------------------------------------
    // Fills `groups` with the groups of the process's token. False when the
    // token or its group list cannot be read.
    virtual bool token_groups(std::vector<TokenGroup>* groups) = 0;

    // --- Language -------------------------------------------------------
    // The English name of the user's default language ("Japanese",
    // "English", ...). Returns 0, or the error number when there is none.
    virtual int user_language_name(std::string* name) = 0;

    // True when `byte` begins a double-byte character of the run's code page.
    // `japanese` says whether the run's language is Japanese, for platforms
    // whose code page follows it.
    virtual bool is_lead_byte(unsigned char byte, bool japanese) = 0;

    // --- Console, time, pause -------------------------------------------
    // Writes the bytes to standard output unchanged (a text-mode stream may
    // turn LF into CR LF) and flushes. Safe to call from any thread.
    virtual void write_console(const char* bytes, size_t count) = 0;
    virtual LocalTime local_time() = 0;
    // The same clock in coordinated universal time.
    virtual LocalTime utc_time() = 0;
    virtual void sleep_ms(unsigned milliseconds) = 0;

    // --- Files -----------------------------------------------------------
    // The platform's error number for a name that is too long.
    virtual int name_too_long_error() = 0;
    // The platform's error number for a name no file may have.
    virtual int invalid_name_error() = 0;
    // The separator between a folder and a file name.
    virtual char path_separator() = 0;

    // The two writers below serve the work files, which may lie in a folder
    // every local user can write to. Each decides on the file it has opened,
    // never on a name looked up before: a file reached through a symbolic
    // link or reparse point, one with a second hard link, one that is no
    // ordinary file, and one another user owns (the process's own user and
    // the system's administrators count as its own) or that others may write
    // is refused with an error number saying why, and left untouched. A file
    // they create is writable by its owner alone.
    //
    // Appends `bytes` to the file in one write, creating the file when it does
    // not exist; other processes may read and append meanwhile. Returns 0, or
    // the error number when the file cannot be opened, is refused or cannot be
    // written.
    virtual int append_to_file(const std::string& path, const std::string& bytes) = 0;
    // Creates the file or empties an existing one and writes `bytes`. Returns
    // 0, or the error number when the file cannot be created, is refused or
    // the bytes cannot be written.
    virtual int write_file(const std::string& path, const std::string& bytes) = 0;
    // Deletes the file; a folder is refused, never removed. Returns 0 or the
    // error number.
    virtual int delete_file(const std::string& path) = 0;
    // The platform's error number for a file that does not exist.
    virtual int file_not_found_error() = 0;
    // Opens a work file for reading (the run log); null when it cannot be
    // opened or may not be trusted, under the same rules as append_to_file.
    virtual std::unique_ptr<ReadableFile> open_for_reading(const std::string& path) = 0;

    // Judges the work folder before any work file is made in it: the folder
    // and every folder above it up to the root may be changed (entries
    // removed or renamed, the folder replaced) by administrators alone, so no
    // other user can swap a work file. Returns 0, or the error number of a
    // folder that cannot be opened or is refused (the platform's
    // permission-denied number, see the README). Once it returned 0, the
    // work-file calls above reach a path directly inside `folder` through the
    // folder opened here, so the folder judged is the folder used.
    virtual int open_work_folder(const std::string& folder) = 0;

    // Opens the settings file for reading once and closes it again. Returns
    // 0, or the error number when it cannot be opened for reading.
    virtual int open_settings_file(const std::string& path) = 0;

    // The size of the file in bytes (following links), or -1 when it cannot
    // be had. Nothing is opened and nothing is judged: only a hint that a
    // file has changed, never a reason to trust what it holds.
    virtual int64_t file_size(const std::string& path) = 0;

    // True when `path` names an existing file that is an ordinary disk file
    // (not a folder, device or pipe). Asks for no read access.
    virtual bool is_disk_file(const std::string& path) = 0;
    // The full path of `name` into `full`, "." and ".." resolved by the name
    // alone. Returns 0, or the error number (Windows refuses a full path of
    // 260 characters or more with the name-too-long number).
    virtual int full_path_name(const std::string& name, std::string* full) = 0;
    // GetFileAttributesA: the attribute bits, or kInvalidFileAttributes.
    virtual uint32_t file_attributes(const std::string& path) = 0;
    // The temp folder, with a trailing separator, into `folder`. Returns 0,
    // or the error number.
    virtual int temp_path(std::string* folder) = 0;
    // The value GetPrivateProfileStringA gives for `key` of `section` in
    // `file` (the default `fallback` when there is none), whole.
    virtual std::string profile_string(const std::string& section, const std::string& key,
                                       const std::string& fallback, const std::string& file) = 0;
    // The same for a work file written by another program: a file that the
    // writers above would refuse answers as a missing file.
    virtual std::string work_file_profile_string(const std::string& section, const std::string& key,
                                                 const std::string& fallback,
                                                 const std::string& file) = 0;

    // --- Text for other programs -----------------------------------------
    // `text`, bytes in the character set the system's and the user's texts
    // are in (Windows: the ANSI code page; POSIX: the locale's, from LC_ALL,
    // LC_CTYPE or LANG), as UTF-8. A sequence that does not convert becomes
    // U+FFFD, so the result is always valid UTF-8.
    virtual std::string to_utf8(const std::string& text) = 0;

    // --- Registry and system queries ------------------------------------
    // Reads value `name` of key `subkey` under HKEY_LOCAL_MACHINE into
    // `value`: the stored bytes without a string's terminator. Ok, KeyMissing
    // or ValueMissing; ValueTooLarge for a value beyond what the platform
    // reads at all.
    virtual RegistryAnswer registry_value(const std::string& subkey, const std::string& name,
                                          std::string* value) = 0;
    // GetVersionExA. Returns 0, or the error number when the version cannot
    // be read.
    virtual int os_version(OsVersion* version) = 0;
    // IsWow64Process looked up at run time in Kernel32.dll; `error` is the
    // error number of an answer other than Ok.
    virtual Wow64Answer wow64_process(bool* is_wow64, int* error) = 0;
    // The value of environment variable `name`. Returns 0, or the error
    // number when the variable is absent or empty.
    virtual int environment_variable(const std::string& name, std::string* value) = 0;

    // --- Processes -------------------------------------------------------
    // The full path of the running program. Returns 0, or the error number.
    virtual int module_file_name(std::string* path) = 0;
    // Where the program lives below the installation media's folder, as
    // built: "ZOVTools\installzova.exe" on Windows.
    virtual const char* own_relative_path() = 0;
    // True when file names are compared without regard to case (Windows).
    virtual bool file_names_ignore_case() = 0;
    // Starts a process from a Windows command line (the first quoted token
    // names the program), inheriting the console, environment and folder.
    // Returns 0, or the error number.
    virtual int start_process(const std::string& command_line, ProcessHandle* process) = 0;
    // Waits at most `milliseconds`, blocked (no processor time is spent).
    // Returns 0 with `ended` true once the process has ended (its exit code
    // may then be read) or false when the time ran out, else the error number.
    virtual int wait_process_for(const ProcessHandle& process, unsigned milliseconds,
                                 bool* ended) = 0;
    // GetExitCodeProcess. Returns 0, or the error number when the code
    // cannot be read.
    virtual int process_exit_code(const ProcessHandle& process, uint32_t* code) = 0;
    // Releases the handles, once.
    virtual void close_process(ProcessHandle* process) = 0;

    // --- One installation at a time ------------------------------------------
    // Tries once, without waiting, to take the lock that lets one run at a
    // time install on this machine; only administrators can hold it. Taken:
    // held from now until this process and every program it starts later
    // have ended (they inherit it); a later call answers Taken again. Busy:
    // another run holds it; `holder` is its process id, 0 where unknown.
    // Failed: it cannot be had at all; `error` is the error number.
    virtual MachineLock try_lock_machine(int64_t* holder, int* error) = 0;
    // The name of another installation in progress on this machine right now
    // ("Windows Installer", "dpkg"), or empty. Takes nothing: the installer
    // may need the same lock.
    virtual std::string installation_in_progress() = 0;
    // Milliseconds from an arbitrary start, never going back.
    virtual int64_t monotonic_ms() = 0;
    // Whether key `subkey` exists under HKEY_LOCAL_MACHINE, in the machine's
    // own view (64-bit on 64-bit Windows, whatever this program's width).
    virtual bool registry_key_exists(const std::string& subkey) = 0;
    // The raw bytes of a value, in the same view; Ok, KeyMissing or
    // ValueMissing. A value over 64 KiB comes back cut, as ValueTooLarge.
    virtual RegistryAnswer registry_bytes(const std::string& subkey, const std::string& name,
                                          std::string* bytes) = 0;
    // The file whose existence says the machine waits for a restart
    // ("/run/reboot-required"), or null where there is none.
    virtual const char* restart_marker() = 0;
    // True where a process's exit status has 8 bits (POSIX), so that
    // Windows' codes above 255 must be told by other numbers.
    virtual bool narrow_exit_status() = 0;

    // --- Console control -------------------------------------------------
    // Registers the handler for console events until it is unregistered.
    // Events whose handling the caller of the program turned off (an ignored
    // signal, an inherited "ignore Ctrl+C") never reach it. Returns false when
    // it cannot be registered.
    virtual bool register_console_handler(ConsoleHandler handler, void* context) = 0;
    // Ends the registration. When it returns, no call of the handler is in
    // progress and none will start, so the handler's context may end. Later
    // events get no handler: on POSIX they are held until the process ends,
    // on Windows they take the system's default course.
    virtual void unregister_console_handler() = 0;
    // Runs `work` on a thread of its own and waits at most `milliseconds` for
    // it. True when it ended in time; one still running (a console write that
    // nobody reads blocks) is left to end with the process.
    virtual bool run_bounded(const std::function<void()>& work, unsigned milliseconds) = 0;
};

// The real System of the platform this program was built for.
std::unique_ptr<System> make_system();

}  // namespace iz
