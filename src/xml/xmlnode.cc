#include "xml/xmlnode.h"

#include <cstring>
#include <limits>

#include "core/strutil.h"
#include "xml/xmlquery.h"
#include "xml/xmlstore.h"

namespace trosk {

namespace {

// Copies `n` bytes of `text` into a new NUL-terminated block.
char* copytext(const char* text, std::size_t n, const char* label) {
  char* copy = static_cast<char*>(allocmem(n + 1, label));
  if (!copy) return nullptr;
  std::memcpy(copy, text, n);
  copy[n] = '\0';
  return copy;
}

void dropvalue(XmlNode* node) {
  if (node->flags & kXmlValueOwned) freemem(node->value);
  node->value = nullptr;
  node->vallen = 0;
  node->flags &= static_cast<uint16_t>(~(kXmlValueOwned | kXmlValueInText));
}

// Stores a copy of `value`; values that would not fit a length field are
// refused rather than cut. Returns the stored length.
int32_t setvalue(XmlNode* node, const char* value) {
  dropvalue(node);
  if (!value || !*value) return 0;
  std::size_t n = std::strlen(value);
  if (n > static_cast<std::size_t>(std::numeric_limits<int32_t>::max())) return 0;
  node->value = copytext(value, n, "xml_val");
  if (!node->value) return 0;
  node->vallen = static_cast<int32_t>(n);
  node->flags |= kXmlValueOwned;
  return node->vallen;
}

void setname(XmlNode* node, const char* name, const char* label) {
  if (!name || !*name) return;
  std::size_t n = strnlen(name, std::numeric_limits<int32_t>::max());
  node->name = copytext(name, n, label);
  if (!node->name) return;
  node->namelen = static_cast<int32_t>(n);
  node->flags |= kXmlNameOwned;
}

// What a node owns besides itself.
void releaseparts(XmlNode* node) {
  if (node->attached) delete node->attached;
  if (node->attrs) freemem(node->attrs);
  if (node->flags & kXmlNameOwned) freemem(node->name);
  if (node->flags & kXmlValueOwned) freemem(node->value);
}

// Frees a node and all its descendants without recursion, so that neither
// deep nor wide trees can exhaust the stack: children first, each list
// from its first node, climbing back to the parent at the end of a list.
// The owner of the tree's storage takes the storage with it.
void freesubtree(XmlNode* top) {
  bool owner = storeowner(top);
  XmlNode* node = top;
  for (;;) {
    if (node->first) {
      node = node->first;
      continue;
    }
    XmlNode* parent = node->parent;
    XmlNode* next = node->next;
    bool done = node == top;
    releaseparts(node);
    if (!owner) storeputback(node);
    if (done) break;
    if (next) {
      node = next;
    } else {
      parent->first = nullptr;  // every child is gone: the parent's turn
      node = parent;
    }
  }
  if (owner) storerelease(top);
}

// Takes the node (and, with `tail`, every following sibling) out of its
// parent's child list.
void unlink(XmlNode* node, bool tail) {
  XmlNode* parent = node->parent;
  XmlNode* end = node;
  uint32_t removed = 1;
  if (tail) {
    while (end->next) {
      end = end->next;
      ++removed;
    }
  }
  if (node->prev) node->prev->next = end->next;
  if (end->next) end->next->prev = node->prev;
  if (parent) {
    if (parent->first == node) parent->first = end->next;
    if (parent->last == end) parent->last = node->prev;
    parent->nchild = parent->nchild > removed ? parent->nchild - removed : 0;
  }
  node->prev = nullptr;
  end->next = nullptr;
}

}  // namespace

uint64_t xmlgeneration(const XmlNode* member) { return storememo(member).generation; }

XmlAttachment* xmlattach(XmlNode* node, std::unique_ptr<XmlAttachment> attachment) {
  delete node->attached;
  node->attached = attachment.release();
  return node->attached;
}

XmlNode* xmlnode(XmlNode* parent, const char* name) {
  XmlNode* node = storenode(parent);
  if (!node) return nullptr;
  setname(node, name, "xml_nam");
  if (parent) {
    ++storememo(parent).generation;
    ++parent->nchild;
    if (parent->last) {
      parent->last->next = node;
      node->prev = parent->last;
    } else {
      parent->first = node;
    }
    parent->last = node;
    node->parent = parent;
  }
  return node;
}

XmlNode* xmladdval(XmlNode* parent, const char* name, const char* value, int type) {
  XmlNode* node = xmlnode(parent, name);
  if (!node) return nullptr;
  setvalue(node, value);
  node->type = static_cast<int16_t>(type);
  return node;
}

XmlNode* xmlverbatim(XmlNode* parent, const char* name, std::string_view text) {
  XmlNode* node = xmlnode(parent, name);
  if (!node) return nullptr;
  node->type = kXmlElement;
  node->value = const_cast<char*>(text.data());
  node->vallen = static_cast<int32_t>(text.size());
  node->flags |= kXmlValueInText | kXmlVerbatim;
  return node;
}

int32_t xml_val(XmlNode* node, const char* value) { return setvalue(node, value); }

const char* xmlval(const XmlNode* node) {
  if (!node || node->vallen <= 0 || !node->value) return "";
  std::string& value = storememo(node).value;
  value.assign(node->value, static_cast<std::size_t>(node->vallen));
  return value.c_str();
}

uint32_t xmlnchild(const XmlNode* node) { return node ? node->nchild : 0; }

int xmlfree(XmlNode* node, int flags) {
  if (!node) return 0;
  ++storememo(node).generation;
  bool siblings = flags & kXmlFreeSiblings;
  if (flags & kXmlFreeUnlink) unlink(node, siblings);
  if (!siblings) {
    freesubtree(node);
    return 0;
  }
  while (node) {
    XmlNode* next = node->next;
    freesubtree(node);
    node = next;
  }
  return 0;
}

int xmlfreekids(XmlNode* node) {
  if (!node) return 0;
  if (node->flags & kXmlVerbatim) {
    dropvalue(node);
    node->flags &= static_cast<uint16_t>(~kXmlVerbatim);
  }
  xmlfree(node->first, kXmlFreeSiblings);
  node->first = nullptr;
  node->last = nullptr;
  node->nchild = 0;
  return 0;
}

XmlNode* xmlelem(const char* name) {
  XmlNode* node = storenode(nullptr);
  if (!node) return nullptr;
  node->type = kXmlElement;
  setname(node, name, "xmlelemnam");
  return node;
}

XmlNode* xmltxtnod(const char* text) {
  XmlNode* node = storenode(nullptr);
  if (!node) return nullptr;
  node->type = kXmlText;
  setname(node, "TEXT", "xmltxtnod");
  std::string encoded = xmlencod(text ? text : "");
  setvalue(node, encoded.c_str());
  return node;
}

XmlNode* xmlnthkid(XmlNode* node, int n) {
  // Callers walk children by rising index; remembering the last answer keeps
  // such a walk linear.
  if (!node) return nullptr;
  StoreMemo& memo = storememo(node);
  auto& last = memo.nthkid;
  if (n < 1) n = 1;
  XmlNode* child = node->first;
  int index = 1;
  if (last.generation == memo.generation && last.parent == node && last.child && last.index <= n) {
    child = last.child;
    index = last.index;
  }
  while (child && index < n) {
    child = child->next;
    ++index;
  }
  if (child) {
    last.generation = memo.generation;
    last.parent = node;
    last.index = index;
    last.child = child;
  }
  return child;
}

void XmlDocument::clear() {
  root.reset();
  text.reset();
  filename[0] = '\0';
}

std::string_view xmlvalueview(const XmlNode* node) {
  if (!node || node->vallen <= 0 || !node->value) return {};
  return {node->value, static_cast<std::size_t>(node->vallen)};
}

bool xmlisnamed(const XmlNode* node, std::string_view name) {
  return node->name && static_cast<std::size_t>(node->namelen) == name.size() &&
         strncmpi(node->name, name.data(), name.size()) == 0;
}

}  // namespace trosk
