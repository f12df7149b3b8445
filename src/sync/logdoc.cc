#include "sync/logdoc.h"

#include "xml/xmlvalues.h"
#include "xml/xmlparse.h"
#include "xml/xmlvalues.h"

namespace trosk {

int LogDoc::load(const char* path) {
  int got = xmlload(path, doc, kXmlLoadAny | kXmlLoadKeepText);
  if (got < 0) return got;
  return top() ? 1 : -2;
}

int LogDoc::fetch(const Remote& remote, const char* path) {
  int got = getxml(remote, path, doc);
  if (got < 0) return got;
  return top() ? 1 : -2;
}

int LogDoc::fresh(int pversion) {
  doc.clear();
  XmlNode* root = xmlnode(nullptr, "trosk");
  doc.root.reset(root);
  xmlsetint(root, "pversion", pversion);
  return 1;
}

XmlNode* LogDoc::top() const {
  // The parser makes the document element the root node itself.
  XmlNode* root = doc.root.get();
  return root && root->name && root->namelen > 0 ? root : nullptr;
}

}  // namespace trosk
