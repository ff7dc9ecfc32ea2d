// The restart sources of the registry, each with each policy.
#include "e2e/machine_fixture.h"

namespace e2e {
namespace {

// The restart sources of the registry, staged in the registry of the build:
// the Wine prefix's (shared by every test of the build, so e2e/CMakeLists.txt
// runs these tests alone) or the folder tree of the native build.
class MachineRegistry : public Machine {
  protected:
    struct Source {
        const char* key;
        const char* name;  // null: the key alone
        const char* data;
    };

    void stage(const Source& s, bool on) {
        if (target().windows) {
            // Windows keeps these in the machine's own view, which the
            // 32-bit program reads past the redirection too.
            if (on) {
                wine_reg_add(std::string("HKLM\\") + s.key, s.name ? s.name : "staged", s.data,
                             RegistryView::Machine);
            } else if (s.name != nullptr) {
                wine_reg_delete_value(std::string("HKLM\\") + s.key, s.name, RegistryView::Machine);
            } else {
                wine_reg_delete(std::string("HKLM\\") + s.key, RegistryView::Machine);
            }
            return;
        }
        std::string folder = "registry/" + slashes(s.key);
        if (on) {
            std::string made;
            for (const std::string& part : lines_of(newlines(slashes(s.key)))) {
                made += made.empty() ? part : "/" + part;
                box.make_folder("registry/" + made);
            }
            if (s.name != nullptr) {
                box.write(folder + "/" + s.name, s.data);
            }
        } else if (s.name != nullptr) {
            box.remove(folder + "/" + s.name);
        } else {
            box.remove(folder);
        }
    }

    static std::string slashes(std::string text) {
        for (char& c : text) {
            c = c == '\\' ? '/' : c;
        }
        return text;
    }
    static std::string newlines(std::string text) {
        for (char& c : text) {
            c = c == '/' ? '\n' : c;
        }
        return text;
    }
};

TEST_F(MachineRegistry, EachRestartSourceWarnsOrStopsOrIsIgnored) {
    const Source sources[] = {
        {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Component Based Servicing\\RebootPending",
         nullptr, "1"},
        {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate\\Auto Update\\RebootRequired",
         nullptr, "1"},
        {"SYSTEM\\CurrentControlSet\\Control\\Session Manager", "PendingFileRenameOperations",
         "\\??\\C:\\old.dll"},
        {"SOFTWARE\\Microsoft\\Updates", "UpdateExeVolatile", "1"},
    };
    write_settings();
    int round = 0;
    for (const Source& s : sources) {
        std::string path =
            std::string("HKLM\\") + s.key + (s.name ? std::string("\\") + s.name : "");
        SCOPED_TRACE(path);
        stage(s, true);
        RunResult warned = install();
        std::string stop = "stop" + std::to_string(round);
        RunResult stopped =
            run(box.program(), {"-f", second_settings(stop, "pending_reboot=stop")}, options);
        std::string ignore = "ignore" + std::to_string(round++);
        RunResult ignored =
            run(box.program(), {"-f", second_settings(ignore, "pending_reboot=IGNORE")}, options);
        stage(s, false);
        EXPECT_EQ(0, warned.exit_code) << warned.out;
        EXPECT_EQ(
            "QIRU09180-I ZOVA installation will now start.\nQIRU09304-W The machine is "
            "waiting for a restart (" +
                path + "). The installation goes on.\n",
            warned.out.substr(0, warned.out.find("QIRU09230-I")));
        EXPECT_NE(std::string::npos, box.read("work/installzova.log")
                                         .find("QIRU09304-W The machine is waiting for a "
                                               "restart (" +
                                               path + ")"));
        EXPECT_EQ(restart_code(), stopped.exit_code) << stopped.out;
        EXPECT_EQ("QIRU09305-E The machine is waiting for a restart (" + path +
                      "). Nothing was started. Restart the machine and retry.\n",
                  stopped.out);
        // Only this run's record: it held the machine and started nothing.
        EXPECT_EQ(std::vector<std::string>{"installzova-result.json"}, box.list(stop));
        EXPECT_EQ(0, ignored.exit_code);
        EXPECT_EQ(std::string::npos, ignored.out.find("QIRU0930")) << ignored.out;
    }
}

}  // namespace
}  // namespace e2e
