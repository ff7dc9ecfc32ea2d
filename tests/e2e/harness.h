// The end-to-end harness: runs the real installzova binary of one build
// (native, or a Windows build under Wine) against real files in a fresh
// folder per test, with the test installer as Setup.exe.
//
// The build is chosen by environment variables that CTest sets:
//   IZ_E2E_TARGET     native | win32 | win64
//   IZ_E2E_PROGRAM    the installzova executable
//   IZ_E2E_INSTALLER  the test installer executable
//   IZ_E2E_LAUNCHER   (Windows builds) the environment launcher
//   IZ_E2E_SANDBOXES  (Windows builds) the folder the test folders are made
//                     in, instead of /tmp
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

namespace e2e {

struct Target {
    std::string kind;  // native, win32, win64
    std::string program;
    std::string installer;
    std::string launcher;
    bool windows = false;
};

const Target& target();

struct RunResult {
    int exit_code = -1;   // exit status, or 128 + signal
    int signal = 0;       // the signal that ended the program, if any
    std::string out;      // standard output; CR LF turned into LF on Windows
    std::string raw_out;  // standard output as written
    std::string err;
};

struct RunOptions {
    // Variables for the program; Windows builds receive them from inside
    // Windows, so TEMP or ProgramFiles(x86) can be set too. An empty value
    // that is listed in `unset` removes the variable.
    std::map<std::string, std::string> env;
    std::vector<std::string> unset;
    std::string cwd;                    // current folder (a Linux path)
    bool as_nobody = false;             // run as an ordinary user (native only)
    bool without_dac_override = false;  // root, but permission bits count
    bool without_fowner = false;        // root, but a sticky folder's rule counts
    // Native only: signals the program inherits as ignored ("INT CHLD"), its
    // umask, a
    // standard output whose reader has gone, a terminal (a pseudo-terminal's
    // name) as standard input and controlling terminal.
    std::string ignored_signals;
    std::string umask;  // the umask it inherits ("0"), when not empty
    bool stdout_reader_gone = false;
    // Native only: a descriptor to take as standard output (the write end of
    // a pipe whose reader the test keeps and never reads), when not negative.
    int stdout_fd = -1;
    std::string terminal;
};

// A fresh folder for one test, removed afterwards.
class Sandbox {
  public:
    Sandbox();
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    // A path inside the sandbox, as Linux sees it.
    std::string path(const std::string& relative = "") const;
    // The same path as the program sees it: Z:\... under Wine.
    std::string at(const std::string& relative = "") const;

    void write(const std::string& relative, const std::string& bytes) const;
    std::string read(const std::string& relative) const;
    bool exists(const std::string& relative) const;
    void make_folder(const std::string& relative) const;
    void remove(const std::string& relative) const;
    // Copies a file, its permissions included.
    void copy(const std::string& from, const std::string& to) const;
    std::vector<std::string> list(const std::string& relative) const;

    // media/Setup.exe (the test installer) and media/ZOVTools/installzova,
    // as the program is laid out beside the product's installer.
    void make_media();
    std::string program() const;

  private:
    std::string root_;
    bool media_ = false;
};

// A path as the program of the current target sees it.
std::string program_path(const std::string& linux_path);

// Runs installzova (or any program of the target) and waits for it.
RunResult run(const std::string& program, const std::vector<std::string>& args,
              const RunOptions& options = RunOptions());

// Starts it without waiting; `out_file` receives its standard output.
pid_t start(const std::string& program, const std::vector<std::string>& args,
            const RunOptions& options, const std::string& out_file);
RunResult finish(pid_t pid, const std::string& out_file);

// The registry of the Wine prefix, in the view the target reads; `key`
// begins with its hive (HKLM\..., HKCU\...).
// The registry view a value is staged in: the build's own (the 32-bit one for
// the 32-bit build, where the product's key lives), or the machine's 64-bit
// one, where Windows keeps its own keys.
enum class RegistryView { Build, Machine };
void wine_reg_add(const std::string& key, const std::string& name, const std::string& data,
                  RegistryView view = RegistryView::Build);
void wine_reg_delete(const std::string& key, RegistryView view = RegistryView::Build);
void wine_reg_delete_value(const std::string& key, const std::string& name,
                           RegistryView view = RegistryView::Build);

// The Windows version Wine reports to programs of the file name `program`
// ("win7", "winxp", ...). Wine keeps it in the prefix per file name, shared by
// every test: installzova.exe is on "win7", a version the program accepts when
// it has to choose the installation folder itself, for every Windows run of
// the suite; a test that needs another version runs a copy of another name.
void set_wine_version(const std::string& program, const std::string& version);

// Text helpers.
std::string file_bytes(const std::string& path);
std::vector<std::string> lines_of(const std::string& text);
std::string cp932_to_utf8(const std::string& bytes);

}  // namespace e2e
