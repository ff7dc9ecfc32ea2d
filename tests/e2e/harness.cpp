#include "e2e/harness.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <iconv.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "support/wine_loader.h"

extern char** environ;

namespace e2e {

namespace fs = std::filesystem;

namespace {

std::string env_or(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : fallback;
}

// Variables from the environment win over the build's defaults file.
void load_defaults() {
#ifdef IZ_E2E_DEFAULTS
    if (std::getenv("IZ_E2E_PROGRAM") != nullptr) {
        return;
    }
    std::ifstream in(IZ_E2E_DEFAULTS);
    std::string line;
    while (std::getline(in, line)) {
        size_t equals = line.find('=');
        if (equals != std::string::npos) {
            setenv(line.substr(0, equals).c_str(), line.substr(equals + 1).c_str(), 1);
        }
    }
#endif
}

Target load_target() {
    load_defaults();
    Target t;
    t.kind = env_or("IZ_E2E_TARGET", "native");
    t.program = env_or("IZ_E2E_PROGRAM", "");
    t.installer = env_or("IZ_E2E_INSTALLER", "");
    t.launcher = env_or("IZ_E2E_LAUNCHER", "");
    t.windows = t.kind != "native";
    if (t.program.empty() || t.installer.empty() || (t.windows && t.launcher.empty())) {
        throw std::runtime_error(
            "IZ_E2E_PROGRAM, IZ_E2E_INSTALLER (and IZ_E2E_LAUNCHER for "
            "Windows builds) must name the binaries under test");
    }
    return t;
}

// Windows variable names with parentheses cannot pass Wine's start script.
std::string encode_name(std::string name) {
    size_t at;
    while ((at = name.find('(')) != std::string::npos) {
        name.replace(at, 1, "_LP_");
    }
    while ((at = name.find(')')) != std::string::npos) {
        name.replace(at, 1, "_RP_");
    }
    return name;
}

std::map<std::string, std::string> base_environment() {
    std::map<std::string, std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        std::string item = *entry;
        size_t equals = item.find('=');
        if (equals != std::string::npos) {
            env[item.substr(0, equals)] = item.substr(equals + 1);
        }
    }
    // A known language unless a test asks for another.
    env.erase("LC_ALL");
    env.erase("LC_MESSAGES");
    env["LANG"] = "en_US.UTF-8";
    env["WINEDEBUG"] = "-all";
    return env;
}

std::vector<std::string> command_for(const std::string& program,
                                     const std::vector<std::string>& args,
                                     const RunOptions& options) {
    std::vector<std::string> command;
    if (options.as_nobody) {
        command = {"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", "--"};
    } else if (options.without_dac_override || options.without_fowner) {
        std::string caps = options.without_dac_override ? "-dac_override,-dac_read_search" : "";
        if (options.without_fowner) {
            caps += caps.empty() ? "-fowner" : ",-fowner";
        }
        command = {"setpriv", "--inh-caps=" + caps, "--bounding-set=" + caps, "--"};
    }
    if (!options.ignored_signals.empty() || !options.umask.empty()) {
        // A shell sets the dispositions and the umask, and exec keeps them.
        std::string traps =
            options.ignored_signals.empty() ? "" : "trap '' " + options.ignored_signals + "; ";
        std::string mask = options.umask.empty() ? "" : "umask " + options.umask + "; ";
        command.insert(command.end(), {"/bin/sh", "-c", traps + mask + "exec \"$@\"", "sh"});
    }
    if (target().windows) {
        command.push_back(iz_test::wine_loader());
        // A Linux path would make Wine start it through start.exe, one more
        // program per run that can fail on its own.
        command.push_back(program_path(target().launcher));
        command.push_back(program_path(program));
    } else {
        command.push_back(program);
    }
    command.insert(command.end(), args.begin(), args.end());
    return command;
}

// The machine lock's folder for every run of this driver process: tests that
// run side by side never wait for each other. A test of the lock's own place
// unsets INSTALLZOVA_LOCK_FOLDER.
const std::string& private_lock_folder() {
    // A plain array has no destructor: the exit handler still finds the name.
    static char name[] = "/tmp/iz-e2e-lock-XXXXXX";
    static const std::string folder = [] {
        if (mkdtemp(name) == nullptr) {
            throw std::runtime_error("cannot make a lock folder");
        }
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(name, ignored);
        });
        return std::string(name);
    }();
    return folder;
}

std::map<std::string, std::string> wanted_variables(const RunOptions& options) {
    std::map<std::string, std::string> wanted = options.env;
    const char kLockFolder[] = "INSTALLZOVA_LOCK_FOLDER";
    bool unset =
        std::find(options.unset.begin(), options.unset.end(), kLockFolder) != options.unset.end();
    if (!unset && wanted.count(kLockFolder) == 0) {
        wanted[kLockFolder] = program_path(private_lock_folder());
    }
    return wanted;
}

std::vector<std::string> environment_for(const RunOptions& options) {
    std::map<std::string, std::string> env = base_environment();
    for (const auto& item : wanted_variables(options)) {
        if (item.first.find('(') == std::string::npos) {
            env[item.first] = item.second;
        }
        if (target().windows) {
            env["IZ_SET_" + encode_name(item.first)] = item.second;
        }
    }
    for (const std::string& name : options.unset) {
        env.erase(name);
        if (target().windows) {
            env["IZ_UNSET_" + encode_name(name)] = "1";
        }
    }
    std::vector<std::string> flat;
    for (const auto& item : env) {
        flat.push_back(item.first + "=" + item.second);
    }
    return flat;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> result;
    for (std::string& s : strings) {
        result.push_back(&s[0]);
    }
    result.push_back(nullptr);
    return result;
}

std::string temp_output_file() {
    char name[] = "/tmp/iz-e2e-out-XXXXXX";
    int fd = mkstemp(name);
    if (fd >= 0) {
        close(fd);
    }
    return name;
}

std::string crlf_to_lf(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
            out += text[i];
        }
    }
    return out;
}

}  // namespace

const Target& target() {
    static const Target loaded = load_target();
    return loaded;
}

std::string program_path(const std::string& linux_path) {
    if (!target().windows) {
        return linux_path;
    }
    std::string path = "Z:" + linux_path;
    for (char& c : path) {
        c = c == '/' ? '\\' : c;
    }
    return path;
}

Sandbox::Sandbox() {
    // Wine shows a sticky folder such as /tmp as one everyone may change,
    // which the program refuses as a work folder's parent: the Windows builds
    // name a folder of their own.
    const char* base = std::getenv("IZ_E2E_SANDBOXES");
    std::string name =
        std::string(base != nullptr && base[0] != '\0' ? base : "/tmp") + "/iz-e2e-XXXXXX";
    if (mkdtemp(&name[0]) == nullptr) {
        throw std::runtime_error("cannot make a sandbox folder in " + name);
    }
    root_ = name;
    chmod(root_.c_str(), 0755);  // readable by the ordinary user of some tests
}

Sandbox::~Sandbox() {
    std::error_code ignored;
    fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(root_, ignored);
}

std::string Sandbox::path(const std::string& relative) const {
    return relative.empty() ? root_ : root_ + "/" + relative;
}

std::string Sandbox::at(const std::string& relative) const {
    return program_path(path(relative));
}

void Sandbox::write(const std::string& relative, const std::string& bytes) const {
    fs::create_directories(fs::path(path(relative)).parent_path());
    std::ofstream(path(relative), std::ios::binary | std::ios::trunc) << bytes;
}

std::string Sandbox::read(const std::string& relative) const {
    return file_bytes(path(relative));
}

bool Sandbox::exists(const std::string& relative) const {
    struct stat info;
    return lstat(path(relative).c_str(), &info) == 0;
}

void Sandbox::make_folder(const std::string& relative) const {
    fs::create_directories(path(relative));
}

void Sandbox::remove(const std::string& relative) const {
    fs::remove_all(path(relative));
}

void Sandbox::copy(const std::string& from, const std::string& to) const {
    fs::create_directories(fs::path(path(to)).parent_path());
    fs::copy_file(path(from), path(to), fs::copy_options::overwrite_existing);
}

std::vector<std::string> Sandbox::list(const std::string& relative) const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(path(relative))) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

void Sandbox::make_media() {
    make_folder("media/ZOVTools");
    fs::copy_file(target().installer, path("media/Setup.exe"));
    fs::copy_file(target().program, program());
    media_ = true;
}

std::string Sandbox::program() const {
    return path(target().windows ? "media/ZOVTools/installzova.exe" : "media/ZOVTools/installzova");
}

pid_t start(const std::string& program, const std::vector<std::string>& args,
            const RunOptions& options, const std::string& out_file) {
    std::vector<std::string> command = command_for(program, args, options);
    std::vector<std::string> env = environment_for(options);
    std::vector<char*> argv = pointers(command);
    std::vector<char*> envp = pointers(env);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    int reader_gone[2] = {-1, -1};
    if (options.stdout_fd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, options.stdout_fd, 1);
    } else if (options.stdout_reader_gone && pipe2(reader_gone, O_CLOEXEC) == 0) {
        close(reader_gone[0]);
        posix_spawn_file_actions_adddup2(&actions, reader_gone[1], 1);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, out_file.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    if (!options.terminal.empty()) {
        // Opened by the leader of a new session: it becomes its terminal.
        posix_spawn_file_actions_addopen(&actions, 0, options.terminal.c_str(), O_RDWR, 0);
    }
    std::string err_file = out_file + ".err";
    posix_spawn_file_actions_addopen(&actions, 2, err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    if (!options.cwd.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, options.cwd.c_str());
    }
    // A process group of its own, like a job started from a terminal: a
    // test can then signal the group as a terminal's Ctrl+C would.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes,
                             options.terminal.empty() ? POSIX_SPAWN_SETPGROUP : POSIX_SPAWN_SETSID);
    posix_spawnattr_setpgroup(&attributes, 0);
    pid_t pid = 0;
    int error = posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (reader_gone[1] >= 0) {
        close(reader_gone[1]);
    }
    if (error != 0) {
        throw std::runtime_error("cannot start " + command[0] + ": " + std::strerror(error));
    }
    return pid;
}

RunResult finish(pid_t pid, const std::string& out_file) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    RunResult result;
    if (WIFEXITED(status)) {
        result.exit_code = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
        result.exit_code = 128 + result.signal;
    }
    result.raw_out = file_bytes(out_file);
    result.out = target().windows ? crlf_to_lf(result.raw_out) : result.raw_out;
    result.err = file_bytes(out_file + ".err");
    std::remove(out_file.c_str());
    std::remove((out_file + ".err").c_str());
    return result;
}

RunResult run(const std::string& program, const std::vector<std::string>& args,
              const RunOptions& options) {
    std::string out_file = temp_output_file();
    return finish(start(program, args, options, out_file), out_file);
}

namespace {

void wine_reg(std::vector<std::string> args, RegistryView view) {
    args.insert(args.begin(), {iz_test::wine_loader(), "reg"});
    bool view32 = view == RegistryView::Build && target().kind == "win32";
    args.push_back(view32 ? "/reg:32" : "/reg:64");
    RunOptions options;
    std::vector<std::string> env = environment_for(options);
    std::vector<char*> argv = pointers(args);
    std::vector<char*> envp = pointers(env);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
    }
    posix_spawn_file_actions_destroy(&actions);
}

}  // namespace

void wine_reg_add(const std::string& key, const std::string& name, const std::string& data,
                  RegistryView view) {
    wine_reg({"add", key, "/v", name, "/d", data, "/f"}, view);
}

void wine_reg_delete(const std::string& key, RegistryView view) {
    wine_reg({"delete", key, "/f"}, view);
}

void wine_reg_delete_value(const std::string& key, const std::string& name, RegistryView view) {
    wine_reg({"delete", key, "/v", name, "/f"}, view);
}

void set_wine_version(const std::string& program, const std::string& version) {
    wine_reg_add("HKCU\\Software\\Wine\\AppDefaults\\" + program, "Version", version);
}

namespace {

// Wine answers with its own default Windows version unless told otherwise.
class WineVersion : public ::testing::Environment {
  public:
    void SetUp() override {
        if (target().windows) {
            set_wine_version("installzova.exe", "win7");
        }
    }
};

const ::testing::Environment* const kWineVersion =
    ::testing::AddGlobalTestEnvironment(new WineVersion);

}  // namespace

std::string file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

std::string cp932_to_utf8(const std::string& bytes) {
    iconv_t converter = iconv_open("UTF-8", "CP932");
    std::string in = bytes;
    std::string out(bytes.size() * 4 + 16, '\0');
    char* in_ptr = &in[0];
    char* out_ptr = &out[0];
    size_t in_left = in.size();
    size_t out_left = out.size();
    iconv(converter, &in_ptr, &in_left, &out_ptr, &out_left);
    iconv_close(converter);
    out.resize(out.size() - out_left);
    return out;
}

}  // namespace e2e
