// The synchronisation run of one project: refines the host its turn reads
// (the local log's host, the direct host2 when the host cannot be read),
// finds or creates the local project log, reads the host's catalogue and
// the chosen version's log, and hands both to the comparison.
#pragma once

#include "config/project.h"
#include "sync/run.h"

namespace trosk {

// Host used when neither the command line, the project nor its log names one.
inline constexpr const char* kDefaultHost = "localhost";

// Runs a status, download, upload, verify or display command for the
// project of `project`'s turn of `run`. Returns 1 after a comparison or
// verification ran, 0 when the project was skipped or a display finished,
// -1 after a dump. Files it decided to transfer and could not are counted
// in project.notUpdated.
int syncproject(Run& run, ProjectRun& project, int flags, int version, int subversion);

}  // namespace trosk
