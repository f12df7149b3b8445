#include "xml/xmlparse.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "core/output.h"
#include "core/runcontext.h"
#include "core/strutil.h"
#include "xml/txtfil.h"

namespace trosk {

namespace {

constexpr int kErrNoTagEnd = -1;
constexpr int kErrNoEndTag = -2;
constexpr int kErrTextEndTag = -3;
constexpr int kErrCdata = -4;
constexpr int kErrEndTag = -5;
constexpr int kErrAttribute = -6;
constexpr int kErrTooDeep = -7;  // nesting deeper than kMaxXmlDepth

constexpr std::string_view kCdataOpen = "<![CDATA[";
constexpr std::string_view kCdataClose = "]]>";

}  // namespace

// One parse: the run it reports to, the nesting depth, and for each kind of
// markup that is skipped by searching ahead, the point from which the search
// is known to fail (the text only ever loses such sequences as it is parsed
// in place).
struct XmlParse {
  RunContext& rc;
  int depth = 0;
  const char* end = nullptr;
  const char* noPiEnd = nullptr;
  const char* noCommentEnd = nullptr;
  const XmlVisitor* visit = nullptr;  // takes each child of the document element
  uint64_t visited = 0;
};

namespace {

int attributes(XmlParse& state, XmlNode* node, char* text, int32_t length);
int64_t parseelement(XmlParse& state, XmlNode* node, char* s, int64_t n);

const char* show(const char* text) { return text ? text : ""; }

int report(XmlParse& state, const XmlNode* node, int code) {
  std::string name =
      node->name ? std::string(node->name, static_cast<std::size_t>(node->namelen)) : std::string();
  printmsg(state.rc, "XML error %d in node <%s>\n", code, name.c_str());
  return code;
}

// Offset of `what` in s[from, n), or -1.
int64_t find(const char* s, int64_t from, int64_t n, std::string_view what) {
  if (from >= n) return -1;
  std::string_view rest(s + from, static_cast<std::size_t>(n - from));
  std::size_t at = rest.find(what);
  return at == std::string_view::npos ? -1 : from + static_cast<int64_t>(at);
}

int64_t findbyte(const char* s, int64_t from, int64_t n, char c) {
  if (from >= n) return -1;
  const void* at = std::memchr(s + from, c, static_cast<std::size_t>(n - from));
  return at ? static_cast<const char*>(at) - s : -1;
}

int64_t skipblanks(const char* s, int64_t p, int64_t n) {
  while (p < n && xmlblank(static_cast<unsigned char>(s[p]))) ++p;
  return p;
}

// The position after a processing instruction or comment that starts at p,
// or p + 1 when it has no end at least one byte past its opening.
int64_t skipmarkup(const char* s, int64_t p, int64_t n, std::string_view close,
                   const char*& knownMissing) {
  int64_t from = p + 2;
  if (knownMissing && s + from >= knownMissing) return p + 1;
  int64_t at = find(s, from, n, close);
  if (at < 0) knownMissing = s + std::min(from, n);
  if (at >= from + 1) return at + static_cast<int64_t>(close.size());
  return p + 1;
}

void tracedepth(const XmlParse& state) {
  for (int i = 0; i < state.depth; ++i) echomsg(state.rc, "  ");
}

// The element's own start tag at p: its name, its attributes, and whether
// it is empty ("/>"). Returns the offset after its ">", or an error code.
int64_t starttag(XmlParse& state, XmlNode* node, char* s, int64_t p, int64_t n, bool* empty) {
  int64_t q = p + 1;
  while (q < n && xmlnamebyte(static_cast<unsigned char>(s[q]))) ++q;
  node->name = s + p + 1;
  node->namelen = static_cast<int32_t>(q - p - 1);
  int64_t a = skipblanks(s, q, n);
  int64_t gt = findbyte(s, a, n, '>');
  if (gt < 0) return report(state, node, kErrNoTagEnd);
  int64_t e = gt;
  while (e > a && xmlblank(static_cast<unsigned char>(s[e - 1]))) --e;
  if (e - a > 1) attributes(state, node, s + a, static_cast<int32_t>(gt - a));
  int64_t last = gt;
  while (last > p + 1 && xmlblank(static_cast<unsigned char>(s[last - 1]))) --last;
  *empty = last > p + 1 && s[last - 1] == '/';
  s[q] = '\0';
  return gt + 1;
}

// Text content from p up to the first "</", which must close this node
// (exact case). Returns the offset after the end tag, or an error code.
int64_t textcontent(XmlParse& state, XmlNode* node, char* s, int64_t p, int64_t n) {
  int64_t lt = find(s, p, n, "</");
  if (lt < 0) return report(state, node, kErrNoEndTag);
  node->value = s + p;
  node->vallen = static_cast<int32_t>(lt - p);
  node->flags |= kXmlValueInText;
  s[lt] = '\0';
  int64_t t = skipblanks(s, lt + 2, n);
  if (n - t < node->namelen ||
      std::memcmp(s + t, node->name, static_cast<std::size_t>(node->namelen)) != 0)
    return report(state, node, kErrTextEndTag);
  if (state.rc.verboseLevel > 4)
    printmsg(state.rc, "endvalue(%d): %d,%d <%10.10s><%6.6s> %d\n", state.depth,
             static_cast<int>(p), static_cast<int>(lt), show(node->value), show(node->name),
             node->vallen);
  int64_t gt = findbyte(s, t, n, '>');
  return gt < 0 ? n : gt + 1;
}

// A CDATA section at p becomes the value (type 4). Sections that follow
// each other directly are joined into one value, moved together in place:
// this is how a value holding "]]>" is written. Returns the offset after
// the last section, or an error code.
int64_t cdatacontent(XmlParse& state, XmlNode* node, char* s, int64_t p, int64_t n) {
  int64_t v = p + static_cast<int64_t>(kCdataOpen.size());
  int64_t close = find(s, v, n, kCdataClose);
  if (close < 0) return report(state, node, kErrCdata);
  int64_t len = close - v;
  int64_t next = close + static_cast<int64_t>(kCdataClose.size());
  while (n - next >= static_cast<int64_t>(kCdataOpen.size()) &&
         strncmpi(s + next, kCdataOpen.data(), kCdataOpen.size()) == 0) {
    int64_t from = next + static_cast<int64_t>(kCdataOpen.size());
    close = find(s, from, n, kCdataClose);
    if (close < 0) return report(state, node, kErrCdata);
    std::memmove(s + v + len, s + from, static_cast<std::size_t>(close - from));
    len += close - from;
    next = close + static_cast<int64_t>(kCdataClose.size());
  }
  node->value = s + v;
  node->vallen = static_cast<int32_t>(len);
  node->flags |= kXmlValueInText;
  node->type = kXmlCdata;
  return next;
}

// The end tag at p closes this node when it begins with the node's name
// (any case). Returns the offset after its ">", or an error code.
int64_t endtag(XmlParse& state, XmlNode* node, const char* s, int64_t p, int64_t n) {
  if (state.rc.verboseLevel > 3) {
    const XmlNode* up = node->parent;
    echomsg(state.rc, "XEnd [%4.4s] [%4.4s] %d P:[%4.4s] %d V:%d [%6.6s]\n", s + p, show(node->name),
                node->namelen, up ? show(up->name) : "", up ? up->namelen : 0, node->vallen,
                show(node->value));
  }
  int64_t t = p + 2;
  if (n - t < node->namelen ||
      strncmpi(s + t, node->name, static_cast<std::size_t>(node->namelen)) != 0)
    return report(state, node, kErrEndTag);
  int64_t gt = findbyte(s, t + node->namelen, n, '>');
  return gt < 0 ? n : gt + 1;
}

// Parses a child element that begins at p. Returns its length, or 0 / an
// error code.
int64_t childelement(XmlParse& state, XmlNode* node, char* s, int64_t p, int64_t n) {
  if (state.depth + 1 >= kMaxXmlDepth) return report(state, node, kErrTooDeep);
  XmlNode* child = xmlnode(node, nullptr);
  if (!child) return 0;
  child->type = kXmlElement;
  if (state.rc.verboseLevel > 4)
    printmsg(state.rc, " new  %5.5s %d %d P[%5.5s] tag:[%5.5s] %d len:%d/%d\n", show(node->name),
             state.depth, static_cast<int>(p), show(node->name), s + p, node->nchild,
             static_cast<int>(n - p), static_cast<int>(n));
  ++state.depth;
  int64_t r = parseelement(state, child, s + p, n - p);
  --state.depth;
  if (r > 0 && state.rc.verboseLevel > 4)
    printmsg(state.rc,
             "  newnode %5.5s %d/%d %d: %10.10s  next: %10.10s  first: %10.10s last: %10.10s\n",
             show(child->name), child->namelen, child->vallen, static_cast<int>(r), s + p,
             s + p + r, node->first ? show(node->first->name) : "",
             node->last ? show(node->last->name) : "");
  if (r > 0 && state.depth == 0 && state.visit) {
    (*state.visit)(child);
    xmlfree(child, kXmlFreeUnlink);
    ++state.visited;
  }
  return r;
}

// Parses a whole text into a document node; see xmlparsestream.
XmlNode* parsedocument(RunContext& rc, char* text, const XmlVisitor* visit, uint64_t* visited) {
  if (!text) return nullptr;
  std::size_t length = strnlen(text, kMaxTextFile + 1);
  if (length > kMaxTextFile) {
    printmsg(rc, "XML text too large to parse: more than %llu bytes\n",
             static_cast<unsigned long long>(kMaxTextFile));
    return nullptr;
  }
  XmlTree root(xmlnode(nullptr, nullptr));
  if (!root) return nullptr;
  root->type = kXmlDocument;
  XmlParse state{rc};
  state.visit = visit;
  int64_t r = parseelement(state, root.get(), text, static_cast<int64_t>(length));
  if (visited) *visited = state.visited;
  return r > 0 ? root.release() : nullptr;
}

int attributes(XmlParse& state, XmlNode* node, char* text, int32_t length) {
  freemem(node->attrs);
  node->attrs = nullptr;
  char* end = text + std::max(length, 0);
  int32_t count = static_cast<int32_t>(std::count(text, end, '='));
  node->nattr = 0;
  if (count == 0) return 0;
  node->attrs = static_cast<XmlAttr*>(alloczero(sizeof(XmlAttr) * count, "xmlprsatt"));
  if (!node->attrs) return report(state, node, kErrAttribute);
  node->nattr = count;
  char* p = text;
  for (int32_t i = 0; i < count; ++i) {
    while (p < end && !xmlnamebyte(static_cast<unsigned char>(*p))) ++p;
    char* name = p;
    while (p < end && !xmlblank(static_cast<unsigned char>(*p)) && *p != '=') ++p;
    char* nameEnd = p;
    p = std::find(p, end, '=');
    if (name == end || p == end) return report(state, node, kErrAttribute);
    *nameEnd = '\0';
    p = std::find_if(p + 1, end, [](char c) { return c == '"' || c == '\''; });
    if (p == end) return report(state, node, kErrAttribute);
    char quote = *p++;
    char* value = p;
    p = std::find(p, end, quote);
    if (p == end) return report(state, node, kErrAttribute);
    *p++ = '\0';
    node->attrs[i] = {name, value};
  }
  return count;
}

int64_t parseelement(XmlParse& state, XmlNode* node, char* s, int64_t n) {
  if (state.end != s + n) {
    state.end = s + n;
    state.noPiEnd = state.noCommentEnd = nullptr;
  }
  if (state.rc.verboseLevel > 2) {
    tracedepth(state);
    printmsg(state.rc, "xml_parse %d  nch=%d <%12.12s>\n", state.depth, static_cast<int>(n), s);
  }
  int64_t p = 0;
  while (p < n) {
    const void* lt = std::memchr(s + p, '<', static_cast<std::size_t>(n - p));
    if (!lt) break;
    p = static_cast<const char*>(lt) - s;
    char next = p + 1 < n ? s[p + 1] : '\0';
    if (state.rc.verboseLevel > 3)
      printmsg(state.rc, "foundtag(%d,%d) %d: %10.10s (name=%6.6s)\n", state.depth,
               static_cast<int>(p), next, s + p, show(node->name));
    if (next == '?') {
      p = skipmarkup(s, p, n, "?>", state.noPiEnd);
    } else if (next == '!') {
      p = skipmarkup(s, p, n, "-->", state.noCommentEnd);
    } else if (next == '/') {
      return node->name ? endtag(state, node, s, p, n) : 0;
    } else if (node->name) {
      int64_t r = childelement(state, node, s, p, n);
      if (r <= 0) return r;
      p += r;
    } else {
      bool empty = false;
      int64_t r = starttag(state, node, s, p, n, &empty);
      if (r < 0 || empty) return r;
      p = skipblanks(s, r, n);
      if (p >= n) break;
      if (state.rc.verboseLevel > 3)
        printmsg(state.rc, "parsevalue(%d): %10.10s (%d)\n", state.depth, s + p,
                 static_cast<int>(p));
      if (s[p] != '<') return textcontent(state, node, s, p, n);
      if (n - p >= static_cast<int64_t>(kCdataOpen.size()) &&
          strncmpi(s + p, kCdataOpen.data(), kCdataOpen.size()) == 0) {
        p = cdatacontent(state, node, s, p, n);
        if (p < 0) return p;
      }
    }
  }
  // The text ended before the end tag: keep what was read.
  return node->name ? n : 0;
}

}  // namespace

int xmlprsatt(RunContext& rc, XmlNode* node, char* text, int32_t length) {
  XmlParse state{rc};
  return attributes(state, node, text, length);
}

int64_t xml_parse(RunContext& rc, XmlNode* node, char* span, int64_t length) {
  XmlParse state{rc};
  return parseelement(state, node, span, length);
}

XmlNode* xmlparsetext(RunContext& rc, char* text) { return parsedocument(rc, text, nullptr, nullptr); }

XmlNode* xmlparsestream(RunContext& rc, char* text, const XmlVisitor& visit, uint64_t* count) {
  return parsedocument(rc, text, &visit, count);
}

int xmlload(RunContext& rc, const char* path, XmlDocument& doc, int flags) {
  doc.clear();
  std::size_t length = 0;
  doc.text = txtfil(rc, path, &length, nullptr, 26, nullptr, nullptr);
  if (!doc.text) return -1;
  if ((flags & kXmlLoadAny) || (length >= 5 && strncmpi(doc.text.get(), "<?xml", 5) == 0))
    doc.root.reset(xmlparsetext(rc, doc.text.get()));
  if (doc.root) {
    copystr(path, doc.filename, sizeof doc.filename - 1);
    return 1;
  }
  if (!(flags & kXmlLoadKeepText)) doc.text.reset();
  return -2;
}

}  // namespace trosk
