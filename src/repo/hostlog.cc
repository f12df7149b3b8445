#include "repo/hostlog.h"

#include "core/output.h"
#include "core/tempfile.h"
#include "repo/copyfile.h"
#include "xml/xmlwrite.h"

namespace trosk {
namespace {

// copyfile writes beside the target and renames, so readers of the host see
// the old log or the new one, never a part.
void publish(const std::string& target, bool announce) {
  if (announce) printmsg(outStream, "   %s ...\n", target.c_str());
  if (copyfile(kStageFile, target.c_str(), 0, nullptr, nullptr) < 0) {
    errormsg("Error writing file: %s", target.c_str());
  }
}

}  // namespace

int publishlog(XmlNode* log, const std::string& versiondir, const char* project, int subversion,
               bool announce) {
  if (syncstore(versiondir.c_str()) < 0) errormsg("Error writing file: %s", versiondir.c_str());
  TempFile stage(kStageFile);
  if (xmlsave(kStageFile, nullptr, log, 0) < 0) errormsg("Error writing file: %s", kStageFile);
  std::string base = versiondir + "/trosk_" + project;
  publish(base + ".xml", announce);
  publish(base + "_" + std::to_string(subversion) + ".xml", announce);
  return 0;
}

}  // namespace trosk
