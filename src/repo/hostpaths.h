// Where a project lies on its host during one project's turn of a run: the
// directory of all projects and the directory of the version in use. They
// travel with the run, so a run leaves nothing behind for the next one.
#pragma once

#include <string>

#include "config/project.h"

namespace trosk {

struct HostPaths {
  std::string hostTroskDir;  // the run's troskdir: -remotedir, the entry's, or "trosk"
  std::string versionPath;   // "<hostTroskDir>/<project>/<project>_<V>", below the host root
};

// The paths of the project's turn; the version path is set later.
HostPaths hostpaths(const ProjectRun& project);
// Points the version path at version V of the project.
void setversionpath(HostPaths& paths, const ProjectRun& project, int version);
// "<hostroot>/<hostTroskDir>/<project>": the project's directory on the host.
std::string projectdir(const std::string& hostroot, const HostPaths& paths,
                       const ProjectRun& project);

}  // namespace trosk
