// Writing the host over a direct path: adding files to a version (every file
// is stored under a new name; nothing on the host is overwritten), making
// new versions, and keeping the version catalogue "current.xml".
#pragma once

#include "config/options.h"
#include "config/project.h"

namespace trosk {

struct RunContext;

// Adds the settings' files to version V/S of the project, on the host root
// of its turn, or only rewrites the catalogue (-current). 1 when files were
// processed and the logs written, 0 when it stopped early (access refused,
// or only the catalogue was to be written). A host that cannot be written
// ends the run.
int addfiles(RunContext& rc, const RunSettings& settings, ProjectRun& project, int version,
             int subversion, int flags);

}  // namespace trosk
