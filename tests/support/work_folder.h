// A run whose work files are in C:\work: the response and options files are
// there, and `result_code` writes the installer's log with its result line.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "core/work_file_names.h"
#include "installer/installer_watch.h"
#include "installer/result_check.h"
#include "messages/output.h"
#include "settings/settings_table.h"
#include "support/fake_system.h"
#include "support/test_helpers.h"

namespace iz {

class WorkFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* file : {kIss, kBat}) {
            sys.files[file] = "x";
        }
    }
    void result_code(const std::string& line) {
        sys.files[kSetupLog] = "[ResponseResult]\r\n" + line + "\r\n";
    }
    FakeSystem sys;
    Output out{sys};
    Settings settings;
    const WorkPaths paths{kLog, kIss, kSetupLog, kBat, kRecord};
    InstallerOutcome outcome;
    InstallerWatch watch{sys, out};
};

}  // namespace iz
