#include "installer/response_file.h"

#include "core/ascii.h"
#include "messages/catalogue.h"
#include "messages/output.h"
#include "messages/text.h"
#include "platform/system.h"
#include "settings/settings_table.h"

namespace iz {

namespace {

const std::string kProject = "{4C7E2B90-58A1-4D3F-9E6B-71C0A2F5D843}";

std::string dialog(const char* name) {
    return kProject + "-" + name + "-0";
}

bool is_yes(const Settings& settings, SettingIndex row) {
    return equals_ignore_case(settings.value(row), "y");
}

}  // namespace

std::string response_file_text(const Settings& settings) {
    const bool reboot = settings.reboot_requested;
    const std::string lines[] = {
        "[InstallShield Silent]",
        "Version=v7.00",
        "File=Response File",
        "[File Transfer]",
        "OverwrittenReadOnly=NoToAll",
        "[" + kProject + "-DlgOrder]",
        "Dlg0=" + dialog("SdShowDlgEdit3"),
        "Count=4",
        "Dlg1=" + dialog("SdAskDestPath"),
        "Dlg2=" + dialog("AskOptions"),
        "Dlg3=" + dialog("SdFinishReboot"),
        "[" + dialog("SdShowDlgEdit3") + "]",
        "szEdit1=" + settings.value(kWorkDir),
        std::string("szEdit3=") + (is_yes(settings, kZovaCore) ? "Core" : "All"),
        "Result=1",
        "[" + dialog("SdAskDestPath") + "]",
        "szDir=" + settings.value(kInstallDir),
        "Result=1",
        "[" + dialog("AskOptions") + "]",
        "Result=1",
        "Sel-0=1",
        std::string("Sel-1=") + (is_yes(settings, kStorageEmc) ? "1" : "0"),
        std::string("Sel-2=") + (is_yes(settings, kStorageEva) ? "1" : "0"),
        "[Application]",
        "Name=Path Sentry Multiway",
        "Version=" + settings.value(kZovaVersion),
        "Company=KESTRON",
        "Lang=0009",
        "[" + dialog("SdFinishReboot") + "]",
        reboot ? "Result=6" : "Result=1",
        reboot ? "BootOption=3" : "BootOption=0",
    };
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\r\n";
    }
    return text;
}

Status write_response_file(System& sys, Output& out, const Settings& settings,
                           const std::string& path) {
    int error = sys.write_file(path, response_file_text(settings));
    if (error != 0) {
        report(out, message_text(out, kMsgFileIoError, error, kCodeResponseFile), Sink::Console);
        return Status::ResponseFile;
    }
    return Status::Ok;
}

}  // namespace iz
