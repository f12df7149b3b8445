#include "xml/xmlquery.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "core/strutil.h"
#include "xml/xmlparse.h"

namespace trosk {

namespace {

constexpr std::string_view kEntityChars = "<>&\"'";
constexpr std::string_view kEntityNames[] = {"lt;", "gt;", "amp;", "quot;", "apos;"};

}  // namespace

std::string xmlencod(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 64);
  for (char c : text) {
    std::size_t k = kEntityChars.find(c);
    if (k == std::string_view::npos) {
      out += c;
    } else {
      out += '&';
      out += kEntityNames[k];
    }
  }
  return out;
}

std::string xmldecod(std::string_view text) {
  // Only the letter after "&" (and for "a" the one after it) decides; the
  // rest of the entity name is skipped unread.
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    std::size_t skip = 0;
    if (c == '&') {
      char b = i + 1 < text.size() ? text[i + 1] : '\0';
      char after = i + 2 < text.size() ? text[i + 2] : '\0';
      switch (b) {
        case 'a':
          if (after == 'm') {
            skip = 4;
          } else {
            c = '\'';
            skip = 5;
          }
          break;
        case 'g':
          c = '>';
          skip = 3;
          break;
        case 'l':
          c = '<';
          skip = 3;
          break;
        case 'q':
          c = '"';
          skip = 5;
          break;
        default:
          break;
      }
    }
    out += c;
    i += 1 + std::min(skip, text.size() - i - 1);
  }
  return out;
}

const char* xmlattrib(const XmlNode* node, int index, const char** name) {
  if (!node || index < 0 || index >= node->nattr || !node->attrs) return nullptr;
  if (name) *name = node->attrs[index].name;
  return node->attrs[index].value;
}

const char* xmlattval(const XmlNode* node, const char* name) {
  if (!node || !name || !node->attrs) return nullptr;
  for (int32_t i = node->nattr - 1; i >= 0; --i) {
    const XmlAttr& a = node->attrs[i];
    if (!a.name || !*a.name) continue;
    if (strncmpi(a.name, name, std::strlen(a.name)) == 0) return a.value;
  }
  return nullptr;
}

std::vector<const char*> xmlgetatt(const char* packed, int length, int max) {
  std::vector<const char*> names;
  if (max <= 0 || !packed) return names;
  auto remaining = [&](int p) { return static_cast<std::size_t>(length - p); };
  int p = 0;
  while (p < length && static_cast<int>(names.size()) < max) {
    names.push_back(packed + p);
    p += static_cast<int>(strnlen(packed + p, remaining(p))) + 1;  // the name
    if (p >= length) break;
    p += static_cast<int>(strnlen(packed + p, remaining(p))) + 1;  // its value
  }
  names.push_back(nullptr);
  return names;
}

int Q_tmpstr(const char* text, std::string* path) {
  std::size_t end = 0;
  while (text[end] != '\0' && text[end] != '?' && !xmlblank(static_cast<unsigned char>(text[end])))
    ++end;
  int k = 0;
  if (text[end] == '?') {
    for (std::size_t i = end; text[i] != '\0' && !xmlblank(static_cast<unsigned char>(text[i]));
         ++i)
      k += text[i] == '=';
  }
  path->assign(text, k == 0 ? std::strlen(text) : end);
  return k;
}

int xmlquery(char* text, int length, char* out, int outsize, const char* tag) {
  char* end = text + std::max(length, 0);
  char* mark = std::find(text, end, '?');
  if (mark == end) return 0;
  char* p = mark + 1;
  int k = static_cast<int>(std::count(p, end, '='));
  if (k == 0) return 0;
  auto refuse = [&] {
    if (out && outsize > 0) out[0] = '\0';
    return -1;
  };
  if (!out || outsize < end - p) return refuse();
  std::string built = tag ? tag : "";
  for (int i = 0; i < k; ++i) {
    char* eq = std::find(p, end, '=');
    if (eq == end) break;  // an "=" was taken as a separator
    std::string_view name(p, static_cast<std::size_t>(eq - p));
    *eq = '\0';
    char* v = eq + 1;
    char* e = v;
    while (e < end && xmlnamebyte(static_cast<unsigned char>(*e))) ++e;
    std::string_view value(v, static_cast<std::size_t>(e - v));
    built.append(" ").append(name).append("='").append(value).append("'");
    if (e < end) *e++ = '\0';  // the separator before the next pair
    p = e;
  }
  built += "/>";
  if (built.size() + 1 > static_cast<std::size_t>(outsize)) return refuse();
  std::memcpy(out, built.c_str(), built.size() + 1);
  return k;
}

}  // namespace trosk
