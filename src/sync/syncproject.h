// The synchronisation run of one project: chooses host, port, user and
// credential, finds or creates the local project log, reads the host's
// catalogue and the chosen version's log, and hands both to the comparison.
#pragma once

#include "config/options.h"
#include "config/project.h"

namespace trosk {

// Host used when neither the command line, the project nor its log names one.
inline constexpr const char* kDefaultHost = "localhost";

// Runs a status, download, upload, verify or display command for the
// entry's project. Returns 1 after a comparison or verification ran, 0 when
// the project was skipped or a display finished, -1 after a dump.
int syncproject(RunSettings& settings, ProjectEntry& entry, int flags, int version, int subversion);

}  // namespace trosk
