#include "installer/machine_checks.h"

#include <algorithm>
#include <memory>

#include "core/ascii.h"
#include "core/run_state.h"
#include "core/status.h"
#include "messages/catalogue.h"
#include "messages/output.h"
#include "messages/text.h"
#include "platform/system.h"

namespace iz {

namespace {

// What keeps the machine busy now, or empty when nothing does (or when the
// look failed, with `status` set).
using BusyProbe = std::string (*)(RunState& state, int* status);

const char kCbsKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Component Based Servicing\\RebootPending";
const char kUpdateKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate\\Auto Update\\RebootRequired";
const char kSessionKey[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char kUpdatesKey[] = "SOFTWARE\\Microsoft\\Updates";
const char kActiveNameKey[] =
    "SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ActiveComputerName";
const char kNameKey[] = "SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ComputerName";
const size_t kMostPackagesBytes = 64 * 1024;

std::string machine_holder(RunState& state, int* status) {
    int64_t holder = 0;
    int error = 0;
    switch (state.sys.try_lock_machine(&holder, &error)) {
        case MachineLock::Taken:
            return std::string();
        case MachineLock::Failed:
            report(state, message_text(state, kMsgInternalError, error, kCodeMachineLock),
                   kToConsole);
            *status = kStatusSetup;
            return std::string();
        case MachineLock::Busy:
            break;
    }
    return holder > 0 ? "installzova PID " + std::to_string(static_cast<long long>(holder))
                      : std::string("installzova");
}

std::string other_installation(RunState& state, int*) {
    return state.sys.installation_in_progress();
}

int whole_seconds(int64_t milliseconds) {
    return static_cast<int>(milliseconds / 1000);
}

// Looks until `probe` finds the machine free, saying at once and then once a
// minute what it waits for; the limit is what the earlier wait left.
int wait_while_busy(RunState& state, BusyProbe probe) {
    MachineReport& machine = state.machine;
    const int64_t before = machine.seconds_waited * 1000;
    const int64_t limit = std::max<int64_t>(0, state.program.wait_seconds * 1000 - before);
    const int64_t started = state.sys.monotonic_ms();
    int64_t next_notice = kWaitNoticeMs;
    int status = kStatusOk;
    for (bool first = true;; first = false) {
        std::string what = probe(state, &status);
        int64_t waited = state.sys.monotonic_ms() - started;
        if (what.empty()) {
            machine.seconds_waited = whole_seconds(before + waited);
            return status;
        }
        machine.waited_for = what;
        if (waited >= limit) {
            machine.seconds_waited = whole_seconds(before + waited);
            report(state,
                   message_text(state, kMsgBusy, what.c_str(), whole_seconds(before + waited)),
                   kToConsole);
            return kStatusBusy;
        }
        if (first) {
            report(state,
                   message_text(state, kMsgWaiting, what.c_str(),
                                static_cast<int>(state.program.wait_seconds)),
                   kToConsole);
        } else if (waited >= next_notice) {
            report(
                state,
                message_text(state, kMsgStillWaiting, whole_seconds(before + waited), what.c_str()),
                kToConsole);
            next_notice += kWaitNoticeMs;
        }
        state.sys.sleep_ms(static_cast<unsigned>(std::min<int64_t>(kWaitPollMs, limit - waited)));
    }
}

bool value_set(RunState& state, const char* key, const char* name, std::string* bytes) {
    RegistryAnswer answer = state.sys.registry_bytes(key, name, bytes);
    return answer == RegistryAnswer::Ok || answer == RegistryAnswer::ValueTooLarge;
}

// Any byte but NUL: a list of renames with at least one name in it.
bool holds_text(const std::string& bytes) {
    return bytes.find_first_not_of('\0') != std::string::npos;
}

// A number that is not 0, as a DWORD's bytes or, in a registry kept as
// files, as text.
bool not_zero(const std::string& bytes) {
    return bytes.find_first_not_of(std::string("\0"
                                               "0",
                                               2)) != std::string::npos;
}

std::string name_text(const std::string& bytes) {
    return bytes.substr(0, bytes.find('\0'));
}

bool computer_rename_pending(RunState& state) {
    std::string active;
    std::string next;
    return value_set(state, kActiveNameKey, "ComputerName", &active) &&
           value_set(state, kNameKey, "ComputerName", &next) &&
           !equals_ignore_case(name_text(active), name_text(next).c_str());
}

std::string hklm(const char* key, const char* name = nullptr) {
    std::string text = std::string("HKLM\\") + key;
    return name != nullptr ? text + "\\" + name : text;
}

void read_restart_packages(RunState& state, const std::string& path) {
    std::unique_ptr<ReadableFile> file = state.sys.open_for_reading(path);
    if (!file) {
        return;
    }
    std::string bytes(kMostPackagesBytes, '\0');
    int64_t n = file->read_at(0, &bytes[0], static_cast<int64_t>(bytes.size()));
    bytes.resize(n > 0 ? static_cast<size_t>(n) : 0);
    size_t begin = 0;
    while (begin < bytes.size()) {
        size_t end = std::min(bytes.find('\n', begin), bytes.size());
        if (end > begin) {
            state.machine.restart_packages.push_back(bytes.substr(begin, end - begin));
        }
        begin = end + 1;
    }
}

}  // namespace

int take_machine(RunState& state) {
    return wait_while_busy(state, machine_holder);
}

int wait_for_other_installation(RunState& state) {
    return wait_while_busy(state, other_installation);
}

std::vector<std::string> registry_restart_sources(RunState& state) {
    std::vector<std::string> sources;
    std::string bytes;
    for (const char* key : {kCbsKey, kUpdateKey}) {
        if (state.sys.registry_key_exists(key)) {
            sources.push_back(hklm(key));
        }
    }
    if (value_set(state, kSessionKey, "PendingFileRenameOperations", &bytes) && holds_text(bytes)) {
        sources.push_back(hklm(kSessionKey, "PendingFileRenameOperations"));
    }
    if (value_set(state, kUpdatesKey, "UpdateExeVolatile", &bytes) && not_zero(bytes)) {
        sources.push_back(hklm(kUpdatesKey, "UpdateExeVolatile"));
    }
    if (computer_rename_pending(state)) {
        sources.push_back(hklm(kActiveNameKey, "ComputerName"));
    }
    return sources;
}

void find_pending_restart(RunState& state) {
    MachineReport& machine = state.machine;
    machine.policy = state.program.pending_reboot;
    if (machine.policy == PendingRebootPolicy::Ignore) {
        return;
    }
    machine.restart_sources = registry_restart_sources(state);
    const char* marker = state.sys.restart_marker();
    if (marker != nullptr && state.sys.is_disk_file(marker)) {
        machine.restart_sources.push_back(marker);
        read_restart_packages(state, std::string(marker) + ".pkgs");
    }
}

int stop_for_pending_restart(RunState& state) {
    const MachineReport& machine = state.machine;
    if (machine.policy != PendingRebootPolicy::Stop || machine.restart_sources.empty()) {
        return kStatusOk;
    }
    for (const std::string& source : machine.restart_sources) {
        report(state, message_text(state, kMsgRestartStop, source.c_str()), kToConsole);
    }
    return kStatusRestartPending;
}

void report_machine_state(RunState& state) {
    const MachineReport& machine = state.machine;
    if (!machine.waited_for.empty()) {
        report(state,
               message_text(state, kMsgStillWaiting, static_cast<int>(machine.seconds_waited),
                            machine.waited_for.c_str()),
               kRunLogOnly);
    }
    for (const std::string& source : machine.restart_sources) {
        report(state, message_text(state, kMsgRestartPending, source.c_str()), kToConsole);
    }
}

}  // namespace iz
