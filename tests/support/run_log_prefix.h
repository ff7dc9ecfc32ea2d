// The beginning of a run-log line as the installer's lines carry it: "INFO",
// the local date (month-day-year, right-aligned in 10 characters) and time.
#pragma once

#include <cstdio>
#include <ctime>
#include <string>

namespace iz_test {

inline std::string run_log_prefix(std::time_t when) {
    std::tm* t = std::localtime(&when);
    char date[32];
    std::snprintf(date, sizeof date, "%d-%d-%d", t->tm_mon + 1, t->tm_mday, t->tm_year + 1900);
    char text[64];
    std::snprintf(text, sizeof text, "INFO %10s %02d:%02d:%02d ", date, t->tm_hour, t->tm_min,
                  t->tm_sec);
    return text;
}

}  // namespace iz_test
