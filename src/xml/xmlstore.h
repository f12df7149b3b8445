// Where the nodes of a tree live: blocks aligned on their size, so that a
// node finds its tree's storage from its own address; nodes freed one by one
// are used again, and the whole storage goes when the tree's owner does.
#pragma once

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

}  // namespace trosk
