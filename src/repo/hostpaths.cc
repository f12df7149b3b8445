#include "repo/hostpaths.h"

namespace trosk {

HostPaths hostpaths(const RunSettings& settings, const ProjectEntry& entry) {
  HostPaths paths;
  const char* dir = settings.remoteDir ? settings.remoteDir : entry.troskdir;
  paths.hostTroskDir = (dir && *dir) ? dir : "trosk";
  return paths;
}

void setversionpath(HostPaths& paths, const ProjectEntry& entry, int version) {
  paths.versionPath = paths.hostTroskDir + "/" + entry.name + "/" + entry.name + "_" +
                      std::to_string(version);
}

std::string projectdir(const char* hostroot, const HostPaths& paths, const ProjectEntry& entry) {
  return std::string(hostroot ? hostroot : "") + "/" + paths.hostTroskDir + "/" + entry.name;
}

}  // namespace trosk
