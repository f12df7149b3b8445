// The top of the engine: the per-project run that every command passes
// through, applying the run's overrides, checking uploads, dispatching to the
// host-side operations or the synchronisation, and offering to save the list.
#pragma once

#include "config/options.h"

namespace trosk {

// Starts a run as a new process would: the output file is begun afresh by
// the next message and the performance timers start from zero. Front ends
// call it before each command.
void beginrun();

// Runs `count` consecutive entries of projectTable from index `first` with
// the command flags. Returns 0. An error ends the run with RunError, after
// each guard on the way (files, connections) has cleaned up; so does a run
// that left files it decided to transfer not updated ("Files not updated").
int DoTrosk(int first, int count, int flags, RunSettings& settings);

// The command-line entry after the front end is set up: begins a run,
// parses the options, runs the chosen projects and returns the exit code (0).
// An error ends it with RunError.
int runcommandline(int argc, char** argv);

}  // namespace trosk
