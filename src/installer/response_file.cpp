#include "installer/response_file.h"

#include "core/ascii.h"
#include "core/run_state.h"
#include "core/status.h"
#include "messages/catalogue.h"
#include "messages/output.h"
#include "messages/text.h"
#include "platform/system.h"

namespace iz {

namespace {

const std::string kProject = "{4C7E2B90-58A1-4D3F-9E6B-71C0A2F5D843}";

std::string dialog(const char* name) {
    return kProject + "-" + name + "-0";
}

bool is_yes(RunState& state, int row) {
    return equals_ignore_case(state.value(row), "y");
}

}  // namespace

std::string response_file_text(RunState& state) {
    const bool reboot = state.reboot_requested.load();
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
        "szEdit1=" + state.value(kWorkDir),
        std::string("szEdit3=") + (is_yes(state, kZovaCore) ? "Core" : "All"),
        "Result=1",
        "[" + dialog("SdAskDestPath") + "]",
        "szDir=" + state.value(kInstallDir),
        "Result=1",
        "[" + dialog("AskOptions") + "]",
        "Result=1",
        "Sel-0=1",
        std::string("Sel-1=") + (is_yes(state, kStorageEmc) ? "1" : "0"),
        std::string("Sel-2=") + (is_yes(state, kStorageEva) ? "1" : "0"),
        "[Application]",
        "Name=Path Sentry Multiway",
        "Version=" + state.value(kZovaVersion),
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

int write_response_file(RunState& state) {
    int error = state.sys.write_file(state.paths.response, response_file_text(state));
    if (error != 0) {
        report(state, message_text(state, kMsgFileIoError, error, kCodeResponseFile), kToConsole);
        return kStatusResponseFile;
    }
    return kStatusOk;
}

}  // namespace iz
