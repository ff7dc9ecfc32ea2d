#include "installer/result_check.h"

#include <climits>

#include "core/windows_buffer.h"
#include "core/work_file_names.h"
#include "messages/catalogue.h"
#include "messages/output.h"
#include "messages/text.h"
#include "platform/system.h"

namespace iz {

namespace {

const uint32_t kResultSize = 32;

bool is_c_space(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

}  // namespace

int result_code_number(const std::string& value) {
    size_t i = 0;
    while (i < value.size() && is_c_space(value[i])) {
        ++i;
    }
    bool negative = false;
    if (i < value.size() && (value[i] == '+' || value[i] == '-')) {
        negative = value[i] == '-';
        ++i;
    }
    long long number = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
        number = number * 10 + (value[i] - '0');
        if (number > static_cast<long long>(INT_MAX) + 1) {
            number = static_cast<long long>(INT_MAX) + 1;
        }
    }
    number = negative ? -number : number;
    if (number > INT_MAX) {
        number = INT_MAX;
    }
    return static_cast<int>(number);
}

Status check_setup_result(System& sys, Output& out, const WorkPaths& paths,
                          InstallerOutcome* outcome, bool completed) {
    // A setup.log that is a link or another user's counts as missing.
    const std::string value = cut_to_buffer(
        sys.work_file_profile_string("ResponseResult", "ResultCode", "", paths.installer_log),
        kResultSize);
    const uint32_t n = static_cast<uint32_t>(value.size());
    if (n != 0) {
        outcome->result_code.store(result_code_number(value));
        outcome->result_code_read.store(true);
    }
    trace(out, kCodeResultTrace,
          format_text(out, "ResultCode=%s(%d)", value.c_str(), static_cast<int>(n)));
    if (n == 1 && value == "0") {
        if (completed && !outcome->work_files_removed.exchange(true)) {
            sys.delete_file(paths.response);
            sys.delete_file(paths.installer_log);
            sys.delete_file(paths.options);
        }
        return Status::Ok;
    }
    int error = 0;
    if (n == 0) {
        if (outcome->work_files_removed.load()) {
            return Status::Ok;  // an earlier call removed setup.log after a success
        }
    } else {
        error = result_code_number(value);
    }
    report(out, message_text(out, kMsgFileIoError, error, kCodeResultFailed), Sink::Console);
    return Status::InstallerFailed;
}

}  // namespace iz
