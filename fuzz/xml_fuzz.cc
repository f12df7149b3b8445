// Fuzz target for the XML reader: any text must parse (or fail) without a
// fault, and what the writer makes of a parsed tree must read back to the
// same elements and values.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/runcontext.h"
#include "xml/xmlfind.h"
#include "xml/xmlnode.h"
#include "xml/xmlparse.h"
#include "xml/xmlquery.h"
#include "xml/xmlwrite.h"

namespace {

using namespace trosk;

std::string valueof(const XmlNode* node) {
  return node->vallen > 0 ? std::string(node->value, static_cast<std::size_t>(node->vallen))
                          : std::string();
}

// Touches every node through the model's own operations.
void walk(XmlNode* root) {
  int depth = 0;
  for (XmlNode* n = root; n;) {
    std::string value = valueof(n);
    if (xmldecod(xmlencod(value)) != value) std::abort();
    if (value != xmlval(n)) std::abort();
    for (int i = 0; i < n->nattr; ++i) {
      const char* name = nullptr;
      const char* attr = xmlattrib(n, i, &name);
      if (name && attr && !xmlattval(n, name)) std::abort();
    }
    bool findable = n->namelen > 0 && depth < kXmlMaxLevels && !std::strchr(n->name, '.');
    if (findable && !xmlfind(root, n->name, 1, nullptr, 0, 0)) std::abort();
    if (n->first) {
      n = n->first;
      ++depth;
      continue;
    }
    while (n != root && !n->next) {
      n = n->parent;
      --depth;
    }
    n = n != root ? n->next : nullptr;
  }
}

// The saved layout read back has the same shape and values.
void samedocument(const XmlNode* a, const XmlNode* b) {
  if (a->nchild != b->nchild) std::abort();
  if (!a->first && valueof(a) != valueof(b)) std::abort();
  for (const XmlNode *x = a->first, *y = b->first; x; x = x->next, y = y->next) samedocument(x, y);
}

// The engine's messages stay out of the output file: a target writes no files.
trosk::RunContext& context() {
  static trosk::QuietFrontend quiet;
  static trosk::RunContext rc(quiet);
  rc.output.tofile = false;
  return rc;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  XmlTree root(xmlparsetext(context(), text.data()));
  if (!root) return 0;
  walk(root.get());

  std::string compact;
  xmlwritestr(compact, root.get());
  xmlwritestr(compact, root->first);

  char* saved = nullptr;
  size_t savedlen = 0;
  FILE* out = open_memstream(&saved, &savedlen);
  if (!out) return 0;
  int result = xmlsave(context(), nullptr, out, root.get(), 0);
  std::fclose(out);
  if (result != 0) std::abort();
  XmlTree again(xmlparsetext(context(), saved));
  if (!again) {
    std::fwrite(saved, 1, savedlen, stderr);  // the text that did not read back
    std::abort();
  }
  samedocument(root.get(), again.get());
  again.reset();
  std::free(saved);
  return 0;
}
