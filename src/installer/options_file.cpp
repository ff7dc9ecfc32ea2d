#include "installer/options_file.h"

#include <initializer_list>

#include "core/ascii.h"
#include "core/run_state.h"
#include "core/status.h"
#include "messages/catalogue.h"
#include "messages/output.h"
#include "messages/text.h"
#include "platform/system.h"

namespace iz {

namespace {

// One optional part of a composite command: "<flag> <value>" when the value
// is set ("%s %s" without a flag for the main value).
struct Part {
    const char* flag;
    int row;
};

std::string build_command(RunState& state, const char* base, std::initializer_list<Part> parts) {
    bool any = false;
    for (const Part& part : parts) {
        any = any || !state.value(part.row).empty();
    }
    if (!any) {
        return std::string();
    }
    std::string command = base;
    for (const Part& part : parts) {
        const std::string& value = state.value(part.row);
        if (!value.empty()) {
            command += part.flag[0] != '\0' ? std::string(" ") + part.flag : std::string();
            command += " " + value;
        }
    }
    return command + " -s";
}

std::string single_value(RunState& state, const char* option, int row) {
    const std::string& value = state.value(row);
    return value.empty() ? std::string()
                         : "zovactl set " + std::string(option) + " " + value + " -s";
}

void add_line(std::string* text, int* count, const std::string& command) {
    if (command.empty()) {
        --*count;
    } else {
        *text += command + "\r\n";
    }
}

}  // namespace

std::string build_lb_command(RunState& state) {
    return build_command(state, "zovactl set -lb",
                         {{"", kLoadBalance}, {"-lbtype", kLoadBalanceType}});
}

std::string build_pchk_command(RunState& state) {
    return build_command(state, "zovactl set -pchk",
                         {{"", kPathHealthCheck}, {"-intvl", kPathHealthCheckInterval}});
}

std::string build_afb_command(RunState& state) {
    return build_command(state, "zovactl set -afb",
                         {{"", kAutoFailback}, {"-intvl", kAutoFailbackInterval}});
}

std::string build_iem_command(RunState& state) {
    return build_command(state, "zovactl set -iem",
                         {{"", kIntermittentErrorMonitor},
                          {"-intvl", kIntermittentErrorMonitorInterval},
                          {"-iemnum", kIntermittentErrorMonitorNumber}});
}

std::string build_rmlu_command(RunState& state) {
    // "-force" is a flag without a value of its own: present only for "on",
    // while any value of remove_lu_force still makes the command present.
    const std::string& remove_lu = state.value(kRemoveLu);
    const std::string& force = state.value(kRemoveLuForce);
    if (remove_lu.empty() && force.empty()) {
        return std::string();
    }
    std::string command = "zovactl set -rmlu";
    if (!remove_lu.empty()) {
        command += " " + remove_lu;
    }
    if (equals_ignore_case(force, "on")) {
        command += " -force";
    }
    return command + " -s";
}

std::string options_file_text(RunState& state, int* count) {
    std::string text;
    *count = 12;
    add_line(&text, count, build_lb_command(state));
    add_line(&text, count, single_value(state, "-ellv", kErrorLogLevel));
    add_line(&text, count, single_value(state, "-elfs", kErrorLogSize));
    add_line(&text, count, single_value(state, "-elfn", kErrorLogNumber));
    add_line(&text, count, single_value(state, "-systflv", kTraceLevel));
    add_line(&text, count, single_value(state, "-systfs", kTraceFileSize));
    add_line(&text, count, single_value(state, "-systfn", kTraceFileNumber));
    add_line(&text, count, build_pchk_command(state));
    // An "off" failback command counts as written but is held back until the
    // monitor command is out.
    std::string afb = build_afb_command(state);
    bool held_back = !afb.empty() && equals_ignore_case(state.value(kAutoFailback), "off");
    if (!held_back) {
        add_line(&text, count, afb);
    }
    add_line(&text, count, build_iem_command(state));
    if (held_back) {
        text += afb + "\r\n";
    }
    add_line(&text, count, single_value(state, "-exlimit", kLbexUsetimesLimit));
    add_line(&text, count, build_rmlu_command(state));
    return text;
}

int write_options_file(RunState& state) {
    int count = 0;
    std::string text = options_file_text(state, &count);
    int error = state.sys.write_file(state.paths.options, text);
    if (error != 0) {
        report(state, message_text(state, kMsgFileIoError, error, kCodeOptionsFile), kToConsole);
        return kStatusOptionsFile;
    }
    if (count == 0) {
        state.sys.delete_file(state.paths.options);  // a leftover empty file does no harm
    }
    return kStatusOk;
}

}  // namespace iz
