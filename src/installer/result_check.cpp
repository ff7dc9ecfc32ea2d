#include "installer/result_check.h"

#include <climits>

#include "core/run_state.h"
#include "core/windows_buffer.h"
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

int check_setup_result(RunState& state, int completed) {
    // A setup.log that is a link or another user's counts as missing.
    const std::string value =
        cut_to_buffer(state.sys.work_file_profile_string("ResponseResult", "ResultCode", "",
                                                         state.paths.installer_log),
                      kResultSize);
    const uint32_t n = static_cast<uint32_t>(value.size());
    if (n != 0) {
        state.outcome.result_code.store(result_code_number(value));
        state.outcome.result_code_read.store(true);
    }
    trace(state, kCodeResultTrace,
          format_text(state, "ResultCode=%s(%d)", value.c_str(), static_cast<int>(n)));
    if (n == 1 && value == "0") {
        if (completed != 0 && !state.work_files_removed.exchange(true)) {
            state.sys.delete_file(state.paths.response);
            state.sys.delete_file(state.paths.installer_log);
            state.sys.delete_file(state.paths.options);
        }
        return kStatusOk;
    }
    int error = 0;
    if (n == 0) {
        if (state.work_files_removed.load()) {
            return kStatusOk;  // an earlier call removed setup.log after a success
        }
    } else {
        error = result_code_number(value);
    }
    report(state, message_text(state, kMsgFileIoError, error, kCodeResultFailed), kToConsole);
    return kStatusInstallerFailed;
}

}  // namespace iz
