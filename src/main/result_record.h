// The result record: what a run did, for automation, as UTF-8 JSON in the
// work folder (installzova-result.json). The record is a plain value; the
// texts in it are in the system's code page and are converted on writing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/work_file_names.h"
#include "platform/system.h"

namespace iz {

const int kResultRecordFormat = 1;
// QIRU09216's location codes: the record could not be written before the run
// started, or at its end.
const int kCodeRecordStart = 101300;
const int kCodeRecordEnd = 101310;

struct RecordWarning {
    std::string message;  // the identifier, QIRU09193-W
    std::string key;
    std::string value;  // as written in the settings file
};

// An optional whole number: `known` false stands for JSON null.
struct RecordNumber {
    bool known = false;
    int64_t value = 0;
};

// An optional text: `known` false stands for JSON null.
struct RecordText {
    bool known = false;
    std::string value;
};

struct ResultRecord {
    std::string mode;        // "install", "check" or "options_only"
    RecordNumber exit_code;  // null while the run has not ended
    RecordNumber installer_exit_code;
    RecordNumber installer_result_code;
    bool installation_completed = false;
    bool work_files_removed = false;
    std::vector<RecordWarning> warnings;
    std::string settings_file;
    RecordText run_log;  // null when the mode writes none
    RecordNumber run_log_start;
    RecordNumber run_log_end;
    LocalTime started_at;  // UTC
    bool ended = false;
    LocalTime ended_at;  // UTC, only when `ended`
    int64_t seconds_waited = 0;
    std::vector<std::string> pending_restart_sources;
    std::string pending_reboot_policy;  // "warn", "stop" or "ignore"
    bool restart_requested = false;
    RecordText installed_option_before;
    RecordText installed_option_after;
};

// The record as JSON text, one object and a line end. Every text passes
// through the system's conversion to UTF-8.
std::string result_record_json(System& sys, const ResultRecord& record);

// Writes the record to `path` as a work file (replacing an earlier one under
// the work files' rules). Returns 0 or the error number.
int write_result_record(System& sys, const std::string& path, const ResultRecord& record);

}  // namespace iz
