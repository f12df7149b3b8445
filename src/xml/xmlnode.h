// The in-memory XML tree: one XmlNode per element, made by the parser or
// built in memory, found by dotted paths of element names (compared without
// regard to ASCII case), changed, and freed.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/memory.h"

namespace trosk {

// Node types.
inline constexpr int16_t kXmlDocument = 0;
inline constexpr int16_t kXmlElement = 1;
inline constexpr int16_t kXmlText = 3;
inline constexpr int16_t kXmlCdata = 4;

// Node flags.
inline constexpr uint16_t kXmlValueInText = 1;  // value lies in a document text
inline constexpr uint16_t kXmlValueOwned = 2;   // value is a copy the node owns
inline constexpr uint16_t kXmlNameOwned = 4;    // name is a copy the node owns
// An element whose children stand as the text that writes them (its value,
// in a document text): a log read to be changed keeps the entries it does
// not change that way; the text goes when children are given to it.
inline constexpr uint16_t kXmlVerbatim = 8;

// xmlfree flags.
inline constexpr int kXmlFreeSiblings = 1;
inline constexpr int kXmlFreeUnlink = 2;

inline constexpr int kXmlMaxLevels = 41;  // depth of the search and dump stacks

struct XmlAttr {
  char* name;
  char* value;
};

// What another module keeps with a tree, such as an index of its entries:
// held by a node and freed with it, so it can never outlive the tree.
struct XmlAttachment {
  virtual ~XmlAttachment() = default;
};

// Nodes live in the storage of their tree, which the tree's first node
// (made without a parent) owns: freeing that node frees the whole tree at
// once, and nodes freed one by one are used again for the tree's new nodes.
struct XmlNode {
  int16_t type;
  uint16_t flags;
  uint32_t nchild;   // children (a project of 100,000 files needs more than 16 bits)
  int32_t nattr;
  int32_t namelen;
  int32_t vallen;    // 0: the node has no value
  char* name;
  char* value;
  XmlNode* parent;
  XmlNode* first;
  XmlNode* last;
  XmlNode* prev;
  XmlNode* next;
  XmlAttr* attrs;
  XmlAttachment* attached;  // owned; null when none
};

// Appends a zero-filled node named `name` (copied; null or empty gives no
// name) as the last child of `parent` (when not null). Returns the node.
XmlNode* xmlnode(XmlNode* parent, const char* name);
// xmlnode, then a copied value (when non-empty) and the type. Returns the node.
XmlNode* xmladdval(XmlNode* parent, const char* name, const char* value, int type);
// Appends an element named `name` whose indented form, as written at the
// first level below the document element, is `text` (which must outlive
// it). Returns the node.
XmlNode* xmlverbatim(XmlNode* parent, const char* name, std::string_view text);
// Replaces the value with a copy of `value`. Returns the new length (0 when empty).
int32_t xml_val(XmlNode* node, const char* value);
// The value as a NUL-terminated text ("" when none), valid until the next
// xmlval on a node of the same tree.
const char* xmlval(const XmlNode* node);
uint32_t xmlnchild(const XmlNode* node);
// The value without a copy (empty when the node has none).
std::string_view xmlvalueview(const XmlNode* node);
// True when the node's name is exactly `name`, ASCII case ignored.
bool xmlisnamed(const XmlNode* node, std::string_view name);
// Frees the node with its descendants (kXmlFreeSiblings: and its following
// siblings; kXmlFreeUnlink: take it out of its parent first). Returns 0.
int xmlfree(XmlNode* node, int flags);
// Frees all children of the node (and the text a verbatim element stands
// for). Returns 0.
int xmlfreekids(XmlNode* node);
// A number that changes whenever the tree of `member` gains or loses a
// node; lookups use it to know that a remembered position is still valid.
uint64_t xmlgeneration(const XmlNode* member);
// Gives the node `attachment` (replacing and freeing the one it had; null
// drops it). Returns the attachment now held.
XmlAttachment* xmlattach(XmlNode* node, std::unique_ptr<XmlAttachment> attachment);

// The rest of the model.
XmlNode* xmlelem(const char* name);
XmlNode* xmltxtnod(const char* text);
XmlNode* xmlnthkid(XmlNode* node, int n);

// Frees a whole tree (the node and its siblings) when it goes out of scope.
struct XmlTreeDeleter {
  void operator()(XmlNode* node) const { xmlfree(node, kXmlFreeSiblings); }
};
using XmlTree = std::unique_ptr<XmlNode, XmlTreeDeleter>;

struct MemDeleter {
  void operator()(void* block) const { freemem(block); }
};
using TextBuffer = std::unique_ptr<char, MemDeleter>;

// A loaded file: its text, which the tree points into, and the tree. The
// tree is released before the text.
struct XmlDocument {
  TextBuffer text;
  XmlTree root;
  char filename[512] = {};
  // Clears the record (tree first, then text).
  void clear();
};

}  // namespace trosk
