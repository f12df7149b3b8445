#include "xml/xmlvalues.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "core/strutil.h"
#include "xml/xmlfind.h"

namespace trosk {

int xmlgetint(XmlNode* node, const char* name, int fallback) {
  XmlNode* found = node ? xmlfind(node, name, 1, nullptr, 0, 0) : nullptr;
  return found ? xmlnumber(xmlval(found), fallback) : fallback;
}

int xmlnumber(const char* text, int fallback) {
  if (!isnumber(text)) return fallback;
  // A run of digits may stand for more than an int holds (a host's file
  // says what it likes); converting such a value would be undefined.
  double value = std::atof(text);
  if (value >= static_cast<double>(std::numeric_limits<int>::max()))
    return std::numeric_limits<int>::max();
  return static_cast<int>(value);
}

const char* xmlgettext(XmlNode* node, const char* name, char* out, int size) {
  if (!out || size <= 0) return out;
  out[0] = '\0';
  XmlNode* found = node && name ? xmlfind(node, name, 1, nullptr, 0, 0) : nullptr;
  if (!found) return out;
  const char* value = xmlval(found);
  std::size_t n = strnlen(value, static_cast<std::size_t>(size) - 1);
  std::memcpy(out, value, n);
  out[n] = '\0';
  return out;
}

XmlNode* xmlsetint(XmlNode* node, const char* name, int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", value);
  return xmladdval(node, name, text, kXmlText);
}

XmlNode* xmlsetint(XmlNode* node, const char* name, long long value) {
  char text[24];
  std::snprintf(text, sizeof text, "%lld", value);
  return xmladdval(node, name, text, kXmlText);
}

XmlNode* xmlsetfloat(XmlNode* node, const char* name, double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%f", value);
  return xmladdval(node, name, text, kXmlText);
}

int setchildint(XmlNode* node, const char* name, int value) {
  for (XmlNode* n = node->first; n; n = n->next) {
    if (xmlisnamed(n, name)) {
      xml_val(n, std::to_string(value).c_str());
      return 0;
    }
  }
  xmlsetint(node, name, value);
  return 0;
}

int xmldelchild(XmlNode* node, const char* name) {
  if (!node) return 0;
  XmlNode* child = xmlchild(node, name, 1);
  if (child == node) child = xmlchild(node, name, 2);
  if (child) xmlfree(child, kXmlFreeUnlink);
  return 0;
}

}  // namespace trosk
