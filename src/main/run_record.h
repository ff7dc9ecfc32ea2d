// The run's result record, filled from the run's state: begun once the
// settings are read and the work folder is known (a record saying the run
// has not ended, so that a run cut short never leaves an earlier run's
// record behind), finished with the exit code.
#pragma once

#include "core/status.h"
#include "main/run_state.h"

namespace iz {

// Writes the unfinished record when the settings were read and name a work
// folder; does nothing otherwise. Returns Status::Ok, or
// Status::ResultRecord after reporting why the record cannot be written.
Status begin_run_record(RunState& state, RunMode mode);

// Writes the finished record of a begun run, and returns the exit code: the
// one given, or 99 when a successful run's record cannot be written, since
// automation then has no record to go by.
int finish_run_record(RunState& state, int exit_code);

}  // namespace iz
