#include "repo/hostpaths.h"

namespace trosk {

HostPaths hostpaths(const ProjectRun& project) {
  HostPaths paths;
  paths.hostTroskDir = project.troskdir;
  return paths;
}

void setversionpath(HostPaths& paths, const ProjectRun& project, int version) {
  const char* name = project.entry.name;
  paths.versionPath =
      paths.hostTroskDir + "/" + name + "/" + name + "_" + std::to_string(version);
}

std::string projectdir(const std::string& hostroot, const HostPaths& paths,
                       const ProjectRun& project) {
  return hostroot + "/" + paths.hostTroskDir + "/" + project.entry.name;
}

}  // namespace trosk
