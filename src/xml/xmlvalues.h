// Reading and setting the values of child elements: numbers and texts by
// element name, as every stored file of the system keeps them.
#pragma once

#include "xml/xmlnode.h"

namespace trosk {

// The number in the first element called `name` below node (depth-first),
// read when isnumber accepts its text and held at the largest int when it
// is larger; `fallback` otherwise.
int xmlgetint(XmlNode* node, const char* name, int fallback);
// The number a value text stands for, as xmlgetint reads it; `fallback`
// when the text is no number.
int xmlnumber(const char* text, int fallback);
// Copies the value of the first element called `name` below node into `out`
// (size bytes); "" when there is none. Returns out.
const char* xmlgettext(XmlNode* node, const char* name, char* out, int size);
// Append a child with the value printed with "%d" ("%lld") / "%f". Return
// the child.
XmlNode* xmlsetint(XmlNode* node, const char* name, int value);
XmlNode* xmlsetint(XmlNode* node, const char* name, long long value);
XmlNode* xmlsetfloat(XmlNode* node, const char* name, double value);
// Sets the value of the direct child `name` of `node` to the number, adding
// the child when there is none. Returns 0.
int setchildint(XmlNode* node, const char* name, int value);
// Removes the first direct child called `name` (never the node itself).
// Returns 0.
int xmldelchild(XmlNode* node, const char* name);

}  // namespace trosk
