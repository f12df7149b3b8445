// Writes trees as text: the one-element-per-line layout of every file the
// system keeps (read back unchanged by the parser), a compact writer with
// attributes, long texts in pieces, and a diagnostic dump.
#pragma once

#include <cstdio>
#include <string>

#include "xml/xmlnode.h"

namespace trosk {

struct RunContext;

// Writes the node, its subtree and its following siblings at `level`. With a
// path the file is written beside the target, synced and renamed into place
// (a power cut leaves the old file or the new one); without one, `stream` is
// written. Returns 0, or -2 when the file could not be
// written completely (the old file is then left as it was).
int xmlsave(RunContext& rc, const char* path, FILE* stream, XmlNode* node, int level);

// Writes text in pieces of at most 256 bytes; a null stream means printmsg.
int printlong(RunContext& rc, FILE* stream, const char* text);

int xmlsavenum(RunContext& rc, const char* filename, XmlNode* node, int a, int b);
int xmlwrite(FILE* stream, XmlNode* node);
int xmlwritestr(std::string& out, XmlNode* node);
int xmldump(RunContext& rc, XmlNode* node, int siblings);

}  // namespace trosk
