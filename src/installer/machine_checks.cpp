#include "installer/machine_checks.h"

#include <algorithm>
#include <memory>

#include "core/ascii.h"
#include "core/status.h"
#include "messages/catalogue.h"
#include "messages/output.h"
#include "messages/text.h"
#include "platform/system.h"

namespace iz {

namespace {

// What keeps the machine busy now, or empty when nothing does (or when the
// look failed, with `status` set).
using BusyProbe = std::string (*)(System& sys, Output& out, Status* status);

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

std::string machine_holder(System& sys, Output& out, Status* status) {
    int64_t holder = 0;
    int error = 0;
    switch (sys.try_lock_machine(&holder, &error)) {
        case MachineLock::Taken:
            return std::string();
        case MachineLock::Failed:
            report(out, message_text(out, kMsgInternalError, error, kCodeMachineLock),
                   Sink::Console);
            *status = Status::Setup;
            return std::string();
        case MachineLock::Busy:
            break;
    }
    return holder > 0 ? "installzova PID " + std::to_string(static_cast<long long>(holder))
                      : std::string("installzova");
}

std::string other_installation(System& sys, Output&, Status*) {
    return sys.installation_in_progress();
}

// Looks until `probe` finds the machine free, saying at once and then once a
// minute what it waits for; the limit is what the earlier wait left.
Status wait_while_busy(System& sys, Output& out, int64_t wait_seconds, BusyProbe probe,
                       MachineReport* report_to) {
    MachineReport& machine = *report_to;
    const int64_t before = machine.seconds_waited * 1000;
    const int64_t limit = std::max<int64_t>(0, wait_seconds * 1000 - before);
    const int64_t started = sys.monotonic_ms();
    int64_t next_notice = kWaitNoticeMs;
    Status status = Status::Ok;
    for (bool first = true;; first = false) {
        std::string what = probe(sys, out, &status);
        int64_t waited = sys.monotonic_ms() - started;
        if (what.empty()) {
            machine.seconds_waited = whole_seconds(before + waited);
            return status;
        }
        machine.waited_for = what;
        if (waited >= limit) {
            machine.seconds_waited = whole_seconds(before + waited);
            report(out, message_text(out, kMsgBusy, what.c_str(), whole_seconds(before + waited)),
                   Sink::Console);
            return Status::Busy;
        }
        if (first) {
            report(out,
                   message_text(out, kMsgWaiting, what.c_str(), static_cast<int>(wait_seconds)),
                   Sink::Console);
        } else if (waited >= next_notice) {
            report(
                out,
                message_text(out, kMsgStillWaiting, whole_seconds(before + waited), what.c_str()),
                Sink::Console);
            next_notice += kWaitNoticeMs;
        }
        sys.sleep_ms(static_cast<unsigned>(std::min<int64_t>(kWaitPollMs, limit - waited)));
    }
}

bool value_set(System& sys, const char* key, const char* name, std::string* bytes) {
    RegistryAnswer answer = sys.registry_bytes(key, name, bytes);
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

bool computer_rename_pending(System& sys) {
    std::string active;
    std::string next;
    return value_set(sys, kActiveNameKey, "ComputerName", &active) &&
           value_set(sys, kNameKey, "ComputerName", &next) &&
           !equals_ignore_case(name_text(active), name_text(next).c_str());
}

std::string hklm(const char* key, const char* name = nullptr) {
    std::string text = std::string("HKLM\\") + key;
    return name != nullptr ? text + "\\" + name : text;
}

void read_restart_packages(System& sys, const std::string& path, MachineReport* machine) {
    std::unique_ptr<ReadableFile> file = sys.open_for_reading(path);
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
            machine->restart_packages.push_back(bytes.substr(begin, end - begin));
        }
        begin = end + 1;
    }
}

}  // namespace

Status take_machine(System& sys, Output& out, int64_t wait_seconds, MachineReport* machine) {
    return wait_while_busy(sys, out, wait_seconds, machine_holder, machine);
}

Status wait_for_other_installation(System& sys, Output& out, int64_t wait_seconds,
                                   MachineReport* machine) {
    return wait_while_busy(sys, out, wait_seconds, other_installation, machine);
}

std::vector<std::string> registry_restart_sources(System& sys) {
    std::vector<std::string> sources;
    std::string bytes;
    for (const char* key : {kCbsKey, kUpdateKey}) {
        if (sys.registry_key_exists(key)) {
            sources.push_back(hklm(key));
        }
    }
    if (value_set(sys, kSessionKey, "PendingFileRenameOperations", &bytes) && holds_text(bytes)) {
        sources.push_back(hklm(kSessionKey, "PendingFileRenameOperations"));
    }
    if (value_set(sys, kUpdatesKey, "UpdateExeVolatile", &bytes) && not_zero(bytes)) {
        sources.push_back(hklm(kUpdatesKey, "UpdateExeVolatile"));
    }
    if (computer_rename_pending(sys)) {
        sources.push_back(hklm(kActiveNameKey, "ComputerName"));
    }
    return sources;
}

void find_pending_restart(System& sys, PendingRebootPolicy policy, MachineReport* machine) {
    machine->policy = policy;
    if (policy == PendingRebootPolicy::Ignore) {
        return;
    }
    machine->restart_sources = registry_restart_sources(sys);
    const char* marker = sys.restart_marker();
    if (marker != nullptr && sys.is_disk_file(marker)) {
        machine->restart_sources.push_back(marker);
        read_restart_packages(sys, std::string(marker) + ".pkgs", machine);
    }
}

Status stop_for_pending_restart(Output& out, const MachineReport& machine) {
    if (machine.policy != PendingRebootPolicy::Stop || machine.restart_sources.empty()) {
        return Status::Ok;
    }
    for (const std::string& source : machine.restart_sources) {
        report(out, message_text(out, kMsgRestartStop, source.c_str()), Sink::Console);
    }
    return Status::RestartPending;
}

void report_machine_state(Output& out, const MachineReport& machine) {
    if (!machine.waited_for.empty()) {
        report(out,
               message_text(out, kMsgStillWaiting, static_cast<int>(machine.seconds_waited),
                            machine.waited_for.c_str()),
               Sink::RunLogOnly);
    }
    for (const std::string& source : machine.restart_sources) {
        report(out, message_text(out, kMsgRestartPending, source.c_str()), Sink::Console);
    }
}

}  // namespace iz
