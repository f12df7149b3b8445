// The top of the engine: the per-project run that every command passes
// through, resolving each project's turn once from the settings and its
// list entry, checking uploads, dispatching to the host-side operations or
// the synchronisation, and offering to save the list.
#pragma once

#include "sync/run.h"

namespace trosk {

// Runs `count` consecutive entries of run.projects from index `first` with
// the run's command flags. Returns 0. An error ends the run with RunError,
// after each guard on the way (files, connections) has cleaned up; so does a
// run that left files it decided to transfer not updated ("Files not
// updated"), and a run asked to stop (marked cancelled).
int DoTrosk(Run& run, int first, int count);

// The command line of one run, with the run's front end in place: parses the
// options, runs the chosen projects and returns the exit code (0). The run's
// output begins afresh with it. An error ends it with RunError.
int runcommandline(Run& run, int argc, char** argv);

}  // namespace trosk
