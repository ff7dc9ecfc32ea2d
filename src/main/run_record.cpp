#include "main/run_record.h"

#include <cstring>

#include "main/result_record.h"
#include "main/run_main.h"
#include "messages/catalogue.h"
#include "messages/output.h"
#include "messages/text.h"
#include "settings/settings_table.h"
#include "settings/validate.h"

namespace iz {

namespace {

// "QIRU09193-W" from the English text, which begins with it.
std::string message_identifier(MessageId id) {
    const char* text = catalogue_text(Language::English, id);
    return std::string(text, std::strcspn(text, " "));
}

const char* mode_name(RunMode mode) {
    switch (mode) {
        case RunMode::Check:
            return "check";
        case RunMode::OptionsOnly:
            return "options_only";
        default:
            return "install";
    }
}

RecordText option_text(const std::string& option) {
    RecordText t;
    t.known = !option.empty();
    t.value = option;
    return t;
}

RecordNumber known_number(int64_t value) {
    RecordNumber n;
    n.known = true;
    n.value = value;
    return n;
}

// This run's part of the run log: from its start line, as the replay found
// it (else the size before the start line was written), to the end now.
void fill_run_log(RunState& state, ResultRecord* record) {
    if (state.record.mode == RunMode::OptionsOnly || !state.out.run_log_recorded()) {
        return;
    }
    record->run_log.known = true;
    record->run_log.value = state.out.run_log_path();
    int64_t start = state.watch.start_offset();
    if (start < 0) {
        start = state.record.run_log_size_before;
    }
    int64_t end = state.sys.file_size(state.out.run_log_path());
    if (start >= 0 && end >= start) {
        record->run_log_start = known_number(start);
        record->run_log_end = known_number(end);
    }
}

// Everything known before the run's end; what it did comes later.
ResultRecord base_record(RunState& state) {
    ResultRecord record;
    record.mode = mode_name(state.record.mode);
    record.settings_file = state.settings.settings_full_path;
    record.started_at = state.record.started_at;
    record.restart_requested = state.settings.reboot_requested;
    record.installed_option_before = option_text(state.record.option_before);
    for (const SettingWarning& w : state.settings.warnings) {
        record.warnings.push_back({message_identifier(w.message), w.key, w.value});
    }
    record.seconds_waited = state.machine.seconds_waited;
    record.pending_restart_sources = state.machine.restart_sources;
    record.pending_reboot_policy = policy_name(state.machine.policy);
    return record;
}

void fill_outcome(RunState& state, ResultRecord* record, int exit_code) {
    record->exit_code = known_number(exit_code);
    if (state.installer.exited) {
        record->installer_exit_code = known_number(state.installer.exit_code);
    }
    if (state.installer.result_code_read.load()) {
        record->installer_result_code = known_number(state.installer.result_code.load());
    }
    record->installation_completed = state.installer.completed;
    record->work_files_removed = state.installer.work_files_removed.load();
    record->ended = true;
    record->ended_at = state.sys.utc_time();
    fill_run_log(state, record);
    if (state.record.mode != RunMode::OptionsOnly) {
        record->installed_option_after =
            option_text(query_installed_option(state.sys, kInstalledOptionSize));
    } else {
        record->installed_option_after = record->installed_option_before;
    }
}

void report_record_failure(Output& out, int error, int location) {
    report(out, message_text(out, kMsgFileIoError, error, location), Sink::Console);
}

}  // namespace

Status begin_run_record(RunState& state, RunMode mode) {
    if (state.settings.settings_full_path.empty() || state.settings.value(kWorkDir).empty()) {
        return Status::Ok;
    }
    state.record.mode = mode;
    state.record.started_at = state.sys.utc_time();
    state.record.option_before = query_installed_option(state.sys, kInstalledOptionSize);
    int error = write_result_record(state.sys, state.paths.result_record, base_record(state));
    if (error != 0) {
        report_record_failure(state.out, error, kCodeRecordStart);
        return Status::ResultRecord;
    }
    state.record.begun = true;
    return Status::Ok;
}

int finish_run_record(RunState& state, int exit_code) {
    if (!state.record.begun) {
        return exit_code;
    }
    ResultRecord record = base_record(state);
    fill_outcome(state, &record, exit_code);
    int error = write_result_record(state.sys, state.paths.result_record, record);
    if (error == 0) {
        return exit_code;
    }
    report_record_failure(state.out, error, kCodeRecordEnd);
    return exit_code == kExitOk ? kExitFailed : exit_code;
}

}  // namespace iz
