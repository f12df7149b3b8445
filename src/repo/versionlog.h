// The version log: one line per change of a host version, appended to
// "versionlog.txt" in the host's project directory.
#pragma once

#include "config/project.h"

namespace trosk {

// Appends "<date> <V>/<S>  <activity>[ -- <comment>]" to the version log of
// the entry's project below `hostroot`. Asks "Add comment: " first when no
// -comment was given. Returns 0, or -2 when the log cannot be written.
int versionlog(const char* hostroot, const char* activity, const ProjectEntry& entry, int version,
               int subversion);

}  // namespace trosk
