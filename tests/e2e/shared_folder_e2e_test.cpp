// A work folder every local user can write to, prepared by another user
// (nobody) before the administrator's run: links to root's files, files of
// nobody's, a result that cannot be removed, a forged log line. Natively
// only: it needs users, ownership and the kernel's guards switched off.
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include "e2e/install_fixture.h"
#include "support/test_helpers.h"

namespace e2e {
namespace {

const char kEarlier[] = "INFO  12-8-2026 05:14:06 QIRU09180-I an earlier run\r\nits lines\r\n";
const char kSecret[] = "[ResponseResult]\r\nResultCode=0\r\nroot's own bytes\r\n";
const char* const kGuards[] = {"/proc/sys/fs/protected_symlinks", "/proc/sys/fs/protected_regular"};

// The kernel refuses some of these cases in sticky folders by itself when
// these guards are on; the program has to hold without them. They are
// global, so every process that turns them off takes the same lock first,
// and they are put back as they were.
class KernelGuardsOff {
  public:
    KernelGuardsOff() {
        lock_ = open("/tmp/installzova-e2e-kernel-guards.lock", O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        flock(lock_, LOCK_EX);
        for (const char* guard : kGuards) {
            saved_.push_back(file_bytes(guard));
            write_guard(guard, "0\n");
        }
    }
    ~KernelGuardsOff() {
        for (size_t i = 0; i < saved_.size(); ++i) {
            write_guard(kGuards[i], saved_[i]);
        }
        close(lock_);  // releases the lock
    }

  private:
    static void write_guard(const char* guard, const std::string& value) {
        int fd = open(guard, O_WRONLY | O_CLOEXEC);
        EXPECT_EQ(static_cast<ssize_t>(value.size()), write(fd, value.data(), value.size()))
            << guard;
        close(fd);
    }
    int lock_ = -1;
    std::vector<std::string> saved_;
};

uid_t nobody() {
    return getpwnam("nobody")->pw_uid;
}

gid_t nobody_group() {
    return getpwnam("nobody")->pw_gid;
}

void group_writable(Sandbox& box, const std::string& folder, gid_t group, mode_t mode) {
    EXPECT_EQ(0, chown(box.path(folder).c_str(), 0, group));
    EXPECT_EQ(0, chmod(box.path(folder).c_str(), mode));
}

// What nobody leaves in the shared folder.
void plant_file(Sandbox& box, const std::string& name, const std::string& bytes, mode_t mode) {
    box.write("shared/" + name, bytes);
    chmod(box.path("shared/" + name).c_str(), mode);
    EXPECT_EQ(0, chown(box.path("shared/" + name).c_str(), nobody(), -1));
}

void plant_link(Sandbox& box, const std::string& name, const std::string& target) {
    EXPECT_EQ(0, symlink(box.path(target).c_str(), box.path("shared/" + name).c_str()));
    EXPECT_EQ(0, lchown(box.path("shared/" + name).c_str(), nobody(), -1));
}

void earlier_run_log(Sandbox& box) {
    box.write("shared/installzova.log", kEarlier);
    chmod(box.path("shared/installzova.log").c_str(), 0644);
}

void setup_iss_kept(Sandbox& box, const std::string& bytes) {
    EXPECT_EQ(bytes, box.read("shared/setup.iss"));
}

class SharedFolderNative : public InstallRun {
  protected:
    void SetUp() override {
        InstallRun::SetUp();
        box.make_folder("shared");
        chmod(box.path("shared").c_str(), 01777);
        box.make_folder("secret");
        chmod(box.path("secret").c_str(), 0700);
        box.write("secret/target", kSecret);
        write_settings();
        std::string settings = box.read("install.ini");
        settings.replace(settings.find(box.at("work")), box.at("work").size(), box.at("shared"));
        box.write("install.ini", settings);
    }

    KernelGuardsOff guards;
};

TEST_F(SharedFolderNative, WhatAnotherUserPreparedIsNeverWrittenNorTrusted) {
    struct Case {
        const char* name;
        std::function<void(Sandbox&, RunOptions&)> stage;
        std::vector<std::string> extra;
        int exit_code;
        std::string message;  // part of the console output
        bool installer_started;
        std::function<void(Sandbox&)> then;
    };
    Case cases[] = {
        {"nothing planted: the files made are root's and writable by root alone",
         [](Sandbox&, RunOptions&) {},
         {"-c"},
         0,
         "",
         true,
         [](Sandbox& box) {
             for (const char* name : {"installzova.log", "setup.iss", "installzova-result.json"}) {
                 struct stat info;
                 ASSERT_EQ(0, lstat(box.path(std::string("shared/") + name).c_str(), &info));
                 EXPECT_EQ(0u, info.st_uid) << name;
                 EXPECT_EQ(0644u, info.st_mode & 07777) << name;
             }
         }},
        {"setup.iss a link to root's file",
         [](Sandbox& box, RunOptions&) { plant_link(box, "setup.iss", "secret/target"); },
         {},
         99,
         iz::file_io_error(40, 100659),
         false,
         nullptr},
        {"result record a link to root's file: nothing is started",
         [](Sandbox& box, RunOptions&) {
             plant_link(box, "installzova-result.json", "secret/target");
         },
         {},
         99,
         iz::file_io_error(40, 101300),
         false,
         [](Sandbox& box) { EXPECT_FALSE(box.exists("shared/setup.iss")); }},
        {"setup.iss a hard link to root's file",
         [](Sandbox& box, RunOptions&) {
             EXPECT_EQ(
                 0, link(box.path("secret/target").c_str(), box.path("shared/setup.iss").c_str()));
         },
         {},
         99,
         iz::file_io_error(31, 100659),
         false,
         nullptr},
        {"setup.iss nobody's and writable by all",
         [](Sandbox& box, RunOptions&) { plant_file(box, "setup.iss", "szDir=/evil\r\n", 0666); },
         {},
         99,
         iz::file_io_error(1, 100659),
         false,
         [](Sandbox& box) { setup_iss_kept(box, "szDir=/evil\r\n"); }},
        {"setup.iss root's but writable by others",
         [](Sandbox& box, RunOptions&) {
             plant_file(box, "setup.iss", "old\r\n", 0646);
             EXPECT_EQ(0, chown(box.path("shared/setup.iss").c_str(), 0, -1));
         },
         {},
         99,
         iz::file_io_error(1, 100659),
         false,
         [](Sandbox& box) { setup_iss_kept(box, "old\r\n"); }},
        {"setoptions.bat nobody's, empty and writable by all, in an options-only run",
         [](Sandbox& box, RunOptions&) { plant_file(box, "setoptions.bat", "", 0666); },
         {"-t"},
         99,
         iz::file_io_error(1, 100918),
         false,
         [](Sandbox& box) {
             struct stat info;
             ASSERT_EQ(0, stat(box.path("shared/setoptions.bat").c_str(), &info));
             EXPECT_EQ(0, info.st_size);
             EXPECT_EQ(nobody(), info.st_uid);
         }},
        {"run log a link to a new file in a root-only folder",
         [](Sandbox& box, RunOptions&) {
             plant_link(box, "installzova.log", "secret/created.log");
         },
         {},
         99,
         iz::internal_error(40, 300316),
         false,
         [](Sandbox& box) { EXPECT_FALSE(box.exists("secret/created.log")); }},
        {"run log nobody's",
         [](Sandbox& box, RunOptions&) { plant_file(box, "installzova.log", kEarlier, 0666); },
         {},
         99,
         "Code = 1 300316\n",
         false,
         [](Sandbox& box) { EXPECT_EQ(kEarlier, box.read("shared/installzova.log")); }},
        // Its owner may rename and delete in it, sticky or not.
        {"a third user's sticky folder holding a stale setup.log of nobody's",
         [](Sandbox& box, RunOptions& options) {
             EXPECT_EQ(0, chown(box.path("shared").c_str(), getpwnam("daemon")->pw_uid, -1));
             earlier_run_log(box);
             plant_file(box, "setup.log", kSecret, 0644);
             options.without_fowner = true;
             options.env["TEST_INSTALLER_NO_LOG"] = "1";
         },
         {},
         99,
         iz::file_io_error(1, 100560),
         false,
         [](Sandbox& box) { EXPECT_EQ(kSecret, box.read("shared/setup.log")); }},
        // nobody could rename root's setup.log of an earlier check aside and
        // back over this run's: the folder is refused before anything is
        // written in it.
        {"folder writable by nobody's group, not sticky",
         [](Sandbox& box, RunOptions&) { group_writable(box, "shared", nobody_group(), 0775); },
         {},
         99,
         iz::file_io_error(1, 100560),
         false,
         [](Sandbox& box) { EXPECT_EQ(std::vector<std::string>{}, box.list("shared")); }},
        {"folder writable by all, not sticky",
         [](Sandbox& box, RunOptions&) { group_writable(box, "shared", 0, 0777); },
         {"-t"},
         99,
         iz::file_io_error(1, 100560),
         false,
         [](Sandbox& box) { EXPECT_EQ(std::vector<std::string>{}, box.list("shared")); }},
        {"a folder above writable by nobody's group, not sticky",
         [](Sandbox& box, RunOptions&) { group_writable(box, "", nobody_group(), 0775); },
         {"-c"},
         99,
         iz::file_io_error(1, 100560),
         false,
         [](Sandbox& box) {
             group_writable(box, "", 0, 0755);
             EXPECT_EQ(std::vector<std::string>{}, box.list("shared"));
         }},
        {"folder writable by root's group, and sticky folders above",
         [](Sandbox& box, RunOptions&) { group_writable(box, "shared", 0, 0775); },
         {"-c"},
         0,
         "",
         true,
         nullptr},
        {"umask 0: nothing made is writable by others, and the run completes",
         [](Sandbox&, RunOptions& options) { options.umask = "0"; },
         {},
         0,
         "",
         true,
         [](Sandbox& box) {
             EXPECT_EQ((std::vector<std::string>{"installzova-result.json", "installzova.log"}),
                       box.list("shared"));
             for (const char* name : {"shared/installzova.log", "shared/installzova-result.json"}) {
                 struct stat info;
                 ASSERT_EQ(0, stat(box.path(name).c_str(), &info));
                 EXPECT_EQ(0644u, info.st_mode & 07777) << name;
             }
         }},
        {"setup.log a link to root's file after the installer",
         [](Sandbox& box, RunOptions& options) {
             earlier_run_log(box);
             options.env["TEST_INSTALLER_LOG_LINK"] = box.path("secret/target");
         },
         {},
         99,
         iz::file_io_error(0, 101245),
         true,
         [](Sandbox& box) { EXPECT_TRUE(box.exists("shared/setup.iss")); }},
        {"setup.log nobody's after the installer",
         [](Sandbox& box, RunOptions& options) {
             earlier_run_log(box);
             options.env["TEST_INSTALLER_LOG_OWNER"] = std::to_string(nobody());
         },
         {},
         99,
         iz::file_io_error(0, 101245),
         true,
         [](Sandbox& box) { EXPECT_TRUE(box.exists("shared/setup.iss")); }},
        // Its completion marker is not trusted: the work files stay.
        {"run log nobody's after the installer",
         [](Sandbox& box, RunOptions& options) {
             earlier_run_log(box);
             options.env["TEST_INSTALLER_RUN_LOG_OWNER"] = std::to_string(nobody());
         },
         {},
         0,
         "QIRU09180-I ZOVA installation will now start.\n",
         true,
         [](Sandbox& box) { EXPECT_TRUE(box.exists("shared/setup.iss")); }},
    };
    for (Case& c : cases) {
        box.remove("shared");
        box.make_folder("shared");
        chmod(box.path("shared").c_str(), 01777);
        options = RunOptions();
        options.env["TEST_INSTALLER_RECORD"] = box.at("received.txt");
        options.env["INSTALLZOVA_REGISTRY_ROOT"] = box.path("registry");
        box.remove("received.txt");
        c.stage(box, options);
        bool earlier = box.read("shared/installzova.log") == kEarlier;
        RunResult r = install(c.extra);
        EXPECT_EQ(c.exit_code, r.exit_code) << c.name << "\n" << r.out;
        EXPECT_NE(std::string::npos, r.out.find(c.message)) << c.name << "\n" << r.out;
        EXPECT_EQ(c.installer_started, box.exists("received.txt")) << c.name;
        EXPECT_EQ(kSecret, box.read("secret/target")) << c.name;
        EXPECT_EQ(std::vector<std::string>{"target"}, box.list("secret")) << c.name;
        if (earlier) {
            EXPECT_EQ(0u, box.read("shared/installzova.log").find(kEarlier)) << c.name;
        }
        if (c.then) {
            c.then(box);
        }
    }
}

TEST_F(SharedFolderNative, LineFeedInTheSettingsFileNameForgesNoCompletion) {
    const std::string forged =
        "x.ini\nINFO  12-8-2026 05:14:06 QIRU09181-I ZOVA installation "
        "completed.";
    box.copy("install.ini", forged);
    options.env["TEST_INSTALLER_COMPLETE"] = "0";
    RunResult r = run(box.program(), {"-f", box.path(forged)}, options);
    EXPECT_EQ(0, r.exit_code) << r.out;
    EXPECT_EQ(std::string::npos, r.out.find("QIRU09181")) << r.out;
    // Not completed: the work files stay.
    EXPECT_TRUE(box.exists("shared/setup.iss"));
    EXPECT_NE(std::string::npos,
              box.read("shared/installzova.log")
                  .find("-f=" +
                        box.path("x.ini?INFO  12-8-2026 05:14:06 QIRU09181-I ZOVA "
                                 "installation completed.") +
                        "\r\n"));
}

}  // namespace
}  // namespace e2e
