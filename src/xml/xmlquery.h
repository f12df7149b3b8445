// Attributes, entity encoding and the "path?name=value" request texts of the
// XML model.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "xml/xmlnode.h"

namespace trosk {

std::string xmlencod(std::string_view text);
std::string xmldecod(std::string_view text);
const char* xmlattrib(const XmlNode* node, int index, const char** name);
const char* xmlattval(const XmlNode* node, const char* name);
// The names of a packed "name\0value\0..." attribute text (at most `max`),
// ended by a null; empty when max <= 0.
std::vector<const char*> xmlgetatt(const char* packed, int length, int max);
// The path of a request text before its query ("?a=1&b=2") into `path`
// (the whole text when it has none). Returns the query's parameter count.
int Q_tmpstr(const char* text, std::string* path);
int xmlquery(char* text, int length, char* out, int outsize, const char* tag);

}  // namespace trosk
