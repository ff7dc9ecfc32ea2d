#include "main/result_record.h"

#include <cstdio>
#include <nlohmann/json.hpp>

namespace iz {

namespace {

using Json = nlohmann::ordered_json;

Json number(const RecordNumber& n) {
    return n.known ? Json(n.value) : Json(nullptr);
}

Json text(System& sys, const RecordText& t) {
    return t.known ? Json(sys.to_utf8(t.value)) : Json(nullptr);
}

// ISO 8601 in UTC: 2026-12-08T05:14:06Z.
std::string iso_time(const LocalTime& t) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02dZ", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return buffer;
}

Json warnings(System& sys, const std::vector<RecordWarning>& list) {
    Json out = Json::array();
    for (const RecordWarning& w : list) {
        Json one;
        one["message"] = w.message;
        one["key"] = w.key;
        one["value"] = sys.to_utf8(w.value);
        out.push_back(one);
    }
    return out;
}

Json texts(System& sys, const std::vector<std::string>& list) {
    Json out = Json::array();
    for (const std::string& s : list) {
        out.push_back(sys.to_utf8(s));
    }
    return out;
}

Json build(System& sys, const ResultRecord& r) {
    Json j;
    j["format"] = kResultRecordFormat;
    j["mode"] = r.mode;
    j["exit_code"] = number(r.exit_code);
    j["installer_exit_code"] = number(r.installer_exit_code);
    j["installer_result_code"] = number(r.installer_result_code);
    j["installation_completed"] = r.installation_completed;
    j["work_files_removed"] = r.work_files_removed;
    j["warnings"] = warnings(sys, r.warnings);
    j["settings_file"] = sys.to_utf8(r.settings_file);
    j["run_log"] = text(sys, r.run_log);
    j["run_log_start"] = number(r.run_log_start);
    j["run_log_end"] = number(r.run_log_end);
    j["started_at"] = iso_time(r.started_at);
    j["ended_at"] = r.ended ? Json(iso_time(r.ended_at)) : Json(nullptr);
    j["seconds_waited"] = r.seconds_waited;
    j["pending_restart_sources"] = texts(sys, r.pending_restart_sources);
    j["pending_reboot_policy"] = r.pending_reboot_policy;
    j["restart_requested"] = r.restart_requested;
    j["installed_option_before"] = text(sys, r.installed_option_before);
    j["installed_option_after"] = text(sys, r.installed_option_after);
    return j;
}

}  // namespace

std::string result_record_json(System& sys, const ResultRecord& record) {
    // Every text is valid UTF-8 by now; the replacing dump only keeps a
    // broken conversion from ending the program.
    return build(sys, record).dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

int write_result_record(System& sys, const std::string& path, const ResultRecord& record) {
    return sys.write_file(path, result_record_json(sys, record));
}

}  // namespace iz
