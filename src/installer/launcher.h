// Starting the product's Setup.exe silently and waiting for it.
#pragma once

#include <string>

#include "core/status.h"

namespace iz {

class InstallerWatch;
class Output;
class System;
struct InstallerOutcome;
struct Settings;
struct WorkPaths;

const int kCodeOwnPath = 101082;
const int kCodeStaleInstallerLog = 101130;
const int kCodeCreateProcess = 101155;
const int kCodeWait = 101165;
const int kCodeExitCode = 101177;
const int kCodeExitCodeFailed = 101181;

// The folder that holds Setup.exe: installfile_location, or the program's
// own path less its place below the media folder ("ZOVTools", separator,
// file name as built), empty when the path does not end with that place.
// False after reporting QIRU09034 when the program's own path cannot be had.
bool setup_folder(System& sys, Output& out, const std::string& installfile_location,
                  std::string* folder);

// The installer's command line; it always ends with exactly one blank.
std::string setup_command_line(const std::string& setup_path, const std::string& response,
                               const std::string& installer_log, bool check, bool warned);

// Starts Setup.exe, waits for it while `watch` shows its lines, and traces
// its exit code into `outcome`. Returns Status::Ok, or Status::Setup when it
// cannot be located, started or waited for, or its exit code read. The exit
// code itself decides nothing. A setup.log left from an earlier run is
// deleted first, so that only this run's installer can supply a result; when
// it cannot be deleted, QIRU09216 is reported and nothing is started. Without
// a setup folder nothing is started either (QIRU09195).
Status launch_setup(System& sys, Output& out, const Settings& settings, const WorkPaths& paths,
                    InstallerWatch& watch, InstallerOutcome* outcome, bool check, bool warned);

}  // namespace iz
