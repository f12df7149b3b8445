// Writing the host over a direct path: the host layout, the version
// catalogue "current.xml", and adding files to a version (every file is
// stored under a new name; nothing on the host is overwritten).
#pragma once

#include "config/options.h"
#include "config/project.h"
#include "xml/xmlnode.h"

namespace trosk {

// The host-side directory of all projects, and the version directory below
// the host root ("%s/%s/%s_%d"); set for each project run.
extern const char* hostTroskDir;
extern char versionPath[kPathSize];

// Sets hostTroskDir from the settings' remoteDir, else the entry's troskdir,
// else "trosk". Returns it.
const char* sethostdir(const RunSettings& settings, ProjectEntry& entry);

// Adds the settings' files to version V/S of the entry's project. 1 when
// files were processed and the logs written, 0 when it stopped early.
int addfiles(RunSettings& settings, ProjectEntry& entry, int version, int subversion, int flags);
XmlNode* findplatform(XmlNode* root, const ProjectEntry& entry);
// 1 allowed, 0 refused.
int useraccess(XmlNode* project, const char* user);
// The number in the first element called `name` below node, or `fallback`.
int xmlgetint(XmlNode* node, const char* name, int fallback);
// Removes the first direct child called `name`. Returns 0.
int xmldelchild(XmlNode* node, const char* name);

}  // namespace trosk
