// Where a project lies on its host during one project's turn of a run: the
// directory of all projects and the directory of the version in use. They
// travel with the run, so a run leaves nothing behind for the next one.
#pragma once

#include <string>

#include "config/options.h"
#include "config/project.h"

namespace trosk {

struct HostPaths {
  std::string hostTroskDir;  // the settings' remoteDir, else the entry's troskdir, else "trosk"
  std::string versionPath;   // "<hostTroskDir>/<project>/<project>_<V>", below the host root
};

// The paths of the entry's project; the version path is set later.
HostPaths hostpaths(const RunSettings& settings, const ProjectEntry& entry);
// Points the version path at version V of the entry's project.
void setversionpath(HostPaths& paths, const ProjectEntry& entry, int version);
// "<hostroot>/<hostTroskDir>/<project>": the project's directory on the host.
std::string projectdir(const char* hostroot, const HostPaths& paths, const ProjectEntry& entry);

}  // namespace trosk
