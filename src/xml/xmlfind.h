// Finding nodes of a tree by dotted paths of element names (compared without
// regard to ASCII case); repeated searches for the next occurrence of a path
// resume where the last one stopped.
#pragma once

#include "xml/xmlnode.h"

namespace trosk {

// xmlfind flags.
inline constexpr int kXmlFindSiblings = 1;  // go on with the start node's following siblings
inline constexpr int kXmlFindChildren = 2;  // only the start node and its direct children

// The n-th node (n <= 1: the first) matching the dotted path, depth-first
// from `start`; `out` (when given) receives the names on the way, joined by
// ".". Null when there is none.
XmlNode* xmlfind(XmlNode* start, const char* path, int n, char* out, int outsize, int flags);
// The n-th node called `name` among `start` and its direct children.
XmlNode* xmlchild(XmlNode* start, const char* name, int n);
// The value of the first node matching the path, or null when none matches.
const char* xmlpathval(XmlNode* start, const char* path);

}  // namespace trosk
