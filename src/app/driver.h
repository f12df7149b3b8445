// The top of the engine: the per-project run that every command passes
// through, applying the run's overrides, checking uploads, dispatching to the
// host-side operations or the synchronisation, and offering to save the list.
#pragma once

#include "config/options.h"

namespace trosk {

// Runs `count` consecutive entries of projectTable from index `first` with
// the command flags. Returns 0.
int DoTrosk(int first, int count, int flags, RunSettings& settings);

// The command-line entry after the front end is set up: parses the options,
// runs the chosen projects and returns the exit code (0).
int runcommandline(int argc, char** argv);

}  // namespace trosk
