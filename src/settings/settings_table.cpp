#include "settings/settings_table.h"

namespace iz {
namespace {

const char kZova[] = "ZOVA";
const char kInstallation[] = "INSTALLATION_SETTINGS";
const char kEnvironment[] = "ENVIRONMENT_SETTINGS";

SettingEntry row(const char* section, const char* key, uint32_t capacity, ValueKind kind) {
    return SettingEntry{section, key, "", std::string(), capacity, 0, kind};
}

}  // namespace

SettingsTable make_settings_table() {
    const ValueKind text = ValueKind::Text;
    const ValueKind alpha = ValueKind::Alphabetic;
    const ValueKind num = ValueKind::Numeric;
    return SettingsTable{{
        row(kZova, "fileversion", 4, text),
        row(kZova, "zovaversion", 10, text),
        row(kInstallation, "installfile_location", 100, text),
        row(kInstallation, "workdir", 100, text),
        row(kInstallation, "installdir", 100, text),
        row(kInstallation, "storage_emc", 1, text),
        row(kInstallation, "storage_eva", 1, text),
        row(kInstallation, "zova_core", 1, text),
        row(kInstallation, "restart", 1, text),
        row(kEnvironment, "load_balance", 3, alpha),
        row(kEnvironment, "load_balance_type", 5, alpha),
        row(kEnvironment, "error_log_level", 1, num),
        row(kEnvironment, "error_log_size", 7, num),
        row(kEnvironment, "error_log_number", 2, num),
        row(kEnvironment, "trace_level", 1, num),
        row(kEnvironment, "trace_file_size", 5, num),
        row(kEnvironment, "trace_file_number", 2, num),
        row(kEnvironment, "path_health_check", 3, alpha),
        row(kEnvironment, "path_health_check_interval", 4, num),
        row(kEnvironment, "auto_failback", 3, alpha),
        row(kEnvironment, "auto_failback_interval", 4, num),
        row(kEnvironment, "intermittent_error_monitor", 3, alpha),
        row(kEnvironment, "intermittent_error_monitor_interval", 4, num),
        row(kEnvironment, "intermittent_error_monitor_number", 2, num),
        row(kEnvironment, "lbex_usetimes_limit", 6, num),
        row(kEnvironment, "remove_lu", 3, alpha),
        row(kEnvironment, "remove_lu_force", 3, alpha),
    }};
}

}  // namespace iz
