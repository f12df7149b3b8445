#include "sync/hostlog.h"

#include <cstdio>
#include <string>

#include "core/output.h"
#include "repo/copyfile.h"
#include "repo/hostops.h"
#include "repo/versionlog.h"
#include "sync/pathsafety.h"
#include "sync/verify.h"
#include "xml/xmlwrite.h"

namespace trosk {
namespace {

// Removes the staged log however the publishing ends.
struct StageFile {
  ~StageFile() { std::remove(kStageFile); }
};

// copyfile writes beside the target and renames, so readers of the host see
// the old log or the new one, never a part.
void publish(const std::string& target) {
  printmsg(outStream, "   %s ...\n", target.c_str());
  if (copyfile(kStageFile, target.c_str(), 0, nullptr, nullptr) < 0) {
    std::remove(kStageFile);
    errormsg("Error writing file: %s", target.c_str());
  }
}

}  // namespace

int writehostlogs(const ProjectEntry& entry, const char* hostroot, XmlNode* log,
                  const char* remotepath, int version, int subversion) {
  setchildint(log, "subversion", subversion);
  char versiondir[2 * kPathSize];
  std::snprintf(versiondir, sizeof versiondir, "%s/%s", hostroot, versionPath);
  if (syncstore(versiondir) < 0) errormsg("Error writing file: %s", versiondir);
  StageFile stage;
  if (xmlsave(kStageFile, nullptr, log, 0) < 0) errormsg("Error writing file: %s", kStageFile);
  publish(std::string(hostroot) + remotepath);
  char frozen[3 * kPathSize];
  std::snprintf(frozen, sizeof frozen, "%s/%s/trosk_%s_%d.xml", hostroot, versionPath, entry.name,
                subversion);
  publish(frozen);
  if (versionlog(hostroot, "Upload new subversion", entry, version, subversion) < 0) {
    warnmsg("Version log not written for project %s", entry.name);
  }
  return 0;
}

}  // namespace trosk
