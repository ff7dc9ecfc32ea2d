#include "installer/options_file.h"

#include <initializer_list>

#include "core/ascii.h"
#include "messages/catalogue.h"
#include "messages/output.h"
#include "messages/text.h"
#include "platform/system.h"
#include "settings/settings_table.h"

namespace iz {

namespace {

// One optional part of a composite command: "<flag> <value>" when the value
// is set ("%s %s" without a flag for the main value).
struct Part {
    const char* flag;
    SettingIndex row;
};

std::string build_command(const Settings& settings, const char* base,
                          std::initializer_list<Part> parts) {
    bool any = false;
    for (const Part& part : parts) {
        any = any || !settings.value(part.row).empty();
    }
    if (!any) {
        return std::string();
    }
    std::string command = base;
    for (const Part& part : parts) {
        const std::string& value = settings.value(part.row);
        if (!value.empty()) {
            command += part.flag[0] != '\0' ? std::string(" ") + part.flag : std::string();
            command += " " + value;
        }
    }
    return command + " -s";
}

std::string single_value(const Settings& settings, const char* option, SettingIndex row) {
    const std::string& value = settings.value(row);
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

std::string build_lb_command(const Settings& settings) {
    return build_command(settings, "zovactl set -lb",
                         {{"", kLoadBalance}, {"-lbtype", kLoadBalanceType}});
}

std::string build_pchk_command(const Settings& settings) {
    return build_command(settings, "zovactl set -pchk",
                         {{"", kPathHealthCheck}, {"-intvl", kPathHealthCheckInterval}});
}

std::string build_afb_command(const Settings& settings) {
    return build_command(settings, "zovactl set -afb",
                         {{"", kAutoFailback}, {"-intvl", kAutoFailbackInterval}});
}

std::string build_iem_command(const Settings& settings) {
    return build_command(settings, "zovactl set -iem",
                         {{"", kIntermittentErrorMonitor},
                          {"-intvl", kIntermittentErrorMonitorInterval},
                          {"-iemnum", kIntermittentErrorMonitorNumber}});
}

std::string build_rmlu_command(const Settings& settings) {
    // "-force" is a flag without a value of its own: present only for "on",
    // while any value of remove_lu_force still makes the command present.
    const std::string& remove_lu = settings.value(kRemoveLu);
    const std::string& force = settings.value(kRemoveLuForce);
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

std::string options_file_text(const Settings& settings, int* count) {
    std::string text;
    *count = 12;
    add_line(&text, count, build_lb_command(settings));
    add_line(&text, count, single_value(settings, "-ellv", kErrorLogLevel));
    add_line(&text, count, single_value(settings, "-elfs", kErrorLogSize));
    add_line(&text, count, single_value(settings, "-elfn", kErrorLogNumber));
    add_line(&text, count, single_value(settings, "-systflv", kTraceLevel));
    add_line(&text, count, single_value(settings, "-systfs", kTraceFileSize));
    add_line(&text, count, single_value(settings, "-systfn", kTraceFileNumber));
    add_line(&text, count, build_pchk_command(settings));
    // An "off" failback command counts as written but is held back until the
    // monitor command is out.
    std::string afb = build_afb_command(settings);
    bool held_back = !afb.empty() && equals_ignore_case(settings.value(kAutoFailback), "off");
    if (!held_back) {
        add_line(&text, count, afb);
    }
    add_line(&text, count, build_iem_command(settings));
    if (held_back) {
        text += afb + "\r\n";
    }
    add_line(&text, count, single_value(settings, "-exlimit", kLbexUsetimesLimit));
    add_line(&text, count, build_rmlu_command(settings));
    return text;
}

Status write_options_file(System& sys, Output& out, const Settings& settings,
                          const std::string& path) {
    int count = 0;
    std::string text = options_file_text(settings, &count);
    int error = sys.write_file(path, text);
    if (error != 0) {
        report(out, message_text(out, kMsgFileIoError, error, kCodeOptionsFile), Sink::Console);
        return Status::OptionsFile;
    }
    if (count == 0) {
        sys.delete_file(path);  // a leftover empty file does no harm
    }
    return Status::Ok;
}

}  // namespace iz
