// Where the nodes of a tree live: blocks aligned on their size, so that a
// node finds its tree's storage from its own address; nodes freed one by one
// are used again, and the whole storage goes when the tree's owner does.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "xml/xmlnode.h"

namespace trosk {

// A zero-filled node in the storage of the tree that `member` belongs to,
// or, when `member` is null, the owner of a new storage. Null when memory
// runs out.
XmlNode* storenode(XmlNode* member);
// True when the node owns its tree's storage (it was made without a tree).
bool storeowner(const XmlNode* node);
// Takes back one node that is no longer used; its tree lives on.
void storeputback(XmlNode* node);
// Frees the storage that `owner` owns, with every node in it.
void storerelease(XmlNode* owner);

// What a tree's lookups remember between calls. It lives with the tree's
// storage and goes with it, so a tree never sees another's.
struct StoreMemo {
  uint64_t generation = 1;  // changes whenever the tree gains or loses a node
  std::unique_ptr<XmlAttachment> searches;  // the walks of recent xmlfind calls
  std::string value;  // the text of the last xmlval of the tree
  struct {
    uint64_t generation = 0;
    const XmlNode* parent = nullptr;
    int index = 0;
    XmlNode* child = nullptr;
  } nthkid;  // the last answer of xmlnthkid
};
StoreMemo& storememo(const XmlNode* member);

}  // namespace trosk
