// The host's version catalogue ("current.xml"): the "project" section that
// serves a platform, its stable, beta and alpha versions, and the users it
// admits. Adding files and synchronising read it through the same steps.
#pragma once

#include "config/project.h"
#include "xml/xmlnode.h"

namespace trosk {

inline constexpr const char* kCatalogueName = "current.xml";

struct VersionCatalogue {
  XmlNode* project = nullptr;  // the section serving the platform (may be the root)
  int stable = 0;
  int beta = 0;
  int alpha = 0;
};

// The numbers of the section of `root` that serves the entry's platform:
// "alpha", "beta" and "stable" (0 when absent); a stable below 1 is taken
// from "pversion".
VersionCatalogue readcatalogue(XmlNode* root, const ProjectEntry& entry);
// The first "project" element serving `platform` (any when it is empty),
// or `root` itself when none does.
XmlNode* platformproject(XmlNode* root, const char* platform);
XmlNode* findplatform(XmlNode* root, const ProjectEntry& entry);
// Whether the section admits `user`: 1 allowed, 0 refused.
int useraccess(XmlNode* project, const char* user);

}  // namespace trosk
