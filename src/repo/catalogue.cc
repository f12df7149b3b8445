#include "repo/catalogue.h"

#include <string_view>

#include "xml/xmlvalues.h"

namespace trosk {
namespace {

// The next node after `node` in document order within `top`'s subtree.
XmlNode* nextbelow(XmlNode* node, const XmlNode* top) {
  if (node->first) return node->first;
  while (node != top && !node->next) node = node->parent;
  return node == top ? nullptr : node->next;
}

}  // namespace

VersionCatalogue readcatalogue(XmlNode* root, const ProjectEntry& entry) {
  VersionCatalogue cat;
  cat.project = findplatform(root, entry);
  cat.alpha = xmlgetint(cat.project, "alpha", 0);
  cat.beta = xmlgetint(cat.project, "beta", 0);
  cat.stable = xmlgetint(cat.project, "stable", 0);
  if (cat.stable < 1) cat.stable = xmlgetint(cat.project, "pversion", 0);
  return cat;
}

XmlNode* platformproject(XmlNode* root, const char* platform) {
  bool any = !platform || !*platform;
  for (XmlNode* node = root ? root->first : nullptr; node; node = nextbelow(node, root)) {
    if (!xmlisnamed(node, "project")) continue;
    if (any) return node;
    XmlNode* p = nullptr;
    for (XmlNode* c = node->first; c && !p; c = c->next) {
      if (xmlisnamed(c, "platform")) p = c;
    }
    if (!p || xmlvalueview(p) == platform) return node;
  }
  return root;
}

XmlNode* findplatform(XmlNode* root, const ProjectEntry& entry) {
  return platformproject(root, entry.platform);
}

int useraccess(XmlNode* project, const char* user) {
  if (!project) return 1;
  std::string_view who = user ? user : "";
  std::string_view last;
  bool valued = false;
  for (XmlNode* n = project->first; n; n = nextbelow(n, project)) {
    if (!xmlisnamed(n, "user")) continue;
    std::string_view v = xmlvalueview(n);
    if (v.empty()) continue;
    if (v == who) return 1;
    last = v;
    valued = true;
  }
  if (!valued) return 1;
  return last.substr(0, 3) == "any" ? 1 : 0;
}

}  // namespace trosk
