#include "main/run_record.h"

#include <cstring>

#include "core/run_state.h"
#include "core/status.h"
#include "installer/installer_watch.h"
#include "main/result_record.h"
#include "main/run_main.h"
#include "messages/catalogue.h"
#include "messages/output.h"
#include "messages/text.h"
#include "settings/validate.h"

namespace iz {

namespace {

const char* mode_name(int mode) {
    switch (mode) {
        case kModeCheck:
            return "check";
        case kModeOptionsOnly:
            return "options_only";
        default:
            return "install";
    }
}

// "QIRU09193-W" from the English text, which begins with it.
std::string message_identifier(int message) {
    const char* text = catalogue_text(kLanguageEnglish, static_cast<MessageId>(message));
    return std::string(text, std::strcspn(text, " "));
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
    if (state.outcome.record_mode == kModeOptionsOnly || !state.run_log_recorded.load()) {
        return;
    }
    record->run_log.known = true;
    record->run_log.value = state.run_log_path;
    InstallerWatch* watch = state.watch.load();
    int64_t start = watch != nullptr ? watch->start_offset() : -1;
    if (start < 0) {
        start = state.outcome.run_log_size_before;
    }
    int64_t end = state.sys.file_size(state.run_log_path);
    if (start >= 0 && end >= start) {
        record->run_log_start = known_number(start);
        record->run_log_end = known_number(end);
    }
}

// Everything known before the run's end; what it did comes later.
ResultRecord base_record(RunState& state) {
    ResultRecord record;
    record.mode = mode_name(state.outcome.record_mode);
    record.settings_file = state.settings_full_path;
    record.started_at = state.outcome.started_at;
    record.restart_requested = state.reboot_requested.load();
    record.installed_option_before = option_text(state.outcome.option_before);
    for (const SettingWarning& w : state.outcome.warnings) {
        record.warnings.push_back({message_identifier(w.message), w.key, w.value});
    }
    record.seconds_waited = state.machine.seconds_waited;
    record.pending_restart_sources = state.machine.restart_sources;
    record.pending_reboot_policy = policy_name(state.machine.policy);
    return record;
}

void fill_outcome(RunState& state, ResultRecord* record, int exit_code) {
    record->exit_code = known_number(exit_code);
    if (state.outcome.installer_exited) {
        record->installer_exit_code = known_number(state.outcome.installer_exit_code);
    }
    if (state.outcome.result_code_read.load()) {
        record->installer_result_code = known_number(state.outcome.result_code.load());
    }
    record->installation_completed = state.outcome.completed;
    record->work_files_removed = state.work_files_removed.load();
    record->ended = true;
    record->ended_at = state.sys.utc_time();
    fill_run_log(state, record);
    if (state.outcome.record_mode != kModeOptionsOnly) {
        record->installed_option_after =
            option_text(query_installed_option(state, kInstalledOptionSize));
    } else {
        record->installed_option_after = record->installed_option_before;
    }
}

void report_record_failure(RunState& state, int error, int location) {
    report(state, message_text(state, kMsgFileIoError, error, location), kToConsole);
}

}  // namespace

int begin_run_record(RunState& state, int mode) {
    if (state.settings_full_path.empty() || state.value(kWorkDir).empty()) {
        return kStatusOk;
    }
    build_work_paths(state);
    state.outcome.record_mode = mode;
    state.outcome.started_at = state.sys.utc_time();
    state.outcome.option_before = query_installed_option(state, kInstalledOptionSize);
    int error = write_result_record(state.sys, state.paths.result_record, base_record(state));
    if (error != 0) {
        report_record_failure(state, error, kCodeRecordStart);
        return kStatusResultRecord;
    }
    state.outcome.record_begun = true;
    return kStatusOk;
}

int finish_run_record(RunState& state, int exit_code) {
    if (!state.outcome.record_begun) {
        return exit_code;
    }
    ResultRecord record = base_record(state);
    fill_outcome(state, &record, exit_code);
    int error = write_result_record(state.sys, state.paths.result_record, record);
    if (error == 0) {
        return exit_code;
    }
    report_record_failure(state, error, kCodeRecordEnd);
    return exit_code == kExitOk ? kExitFailed : exit_code;
}

}  // namespace iz
