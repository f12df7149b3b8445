#include "xml/xmlwrite.h"

#include <cstring>
#include <string_view>

#include "core/atomicfile.h"
#include "core/cause.h"
#include "core/output.h"
#include "core/runcontext.h"
#include "core/strutil.h"
#include "xml/xmlparse.h"

namespace trosk {

namespace {

constexpr int kMaxIndent = 20;
constexpr int32_t kLongValue = 80;  // values this long start on a line of their own
constexpr std::size_t kPiece = 256;

// Where writing goes: the end of a string, or a stream, which gets the text
// in large blocks rather than one small write per piece.
class Out {
 public:
  explicit Out(std::string* text) : text_(text) {}
  explicit Out(FILE* stream) : stream_(stream), text_(&pending_) {}
  ~Out() { flush(); }
  Out(const Out&) = delete;
  Out& operator=(const Out&) = delete;

  void put(std::string_view s) {
    text_->append(s);
    if (stream_ && pending_.size() >= kBlock) flush();
  }
  void flush() {
    if (stream_ && !pending_.empty()) std::fwrite(pending_.data(), 1, pending_.size(), stream_);
    pending_.clear();
  }

 private:
  static constexpr std::size_t kBlock = 64 * 1024;
  FILE* stream_ = nullptr;
  std::string pending_;
  std::string* text_;
};

std::string_view nameof(const XmlNode* node) {
  return node->name ? std::string_view(node->name, static_cast<std::size_t>(node->namelen))
                    : std::string_view();
}

// Walks the node, its subtree and its following siblings in document order
// without recursion: open(node, level) writes a node and returns true when
// its children are to be written; close(node, level) ends such a node.
template <class Open, class Close>
void walktree(XmlNode* node, int level, Open open, Close close) {
  XmlNode* cur = node;
  int lv = level;
  while (cur) {
    if (open(cur, lv) && cur->first) {
      cur = cur->first;
      ++lv;
      continue;
    }
    while (!cur->next) {
      if (lv == level) return;
      cur = cur->parent;
      --lv;
      close(cur, lv);
    }
    cur = cur->next;
  }
}

// A CDATA section cannot hold "]]>": such a value is split into adjacent
// sections ("]]" ends one, ">" begins the next), which the reader joins.
void putcdata(Out& out, std::string_view value) {
  out.put("<![CDATA[");
  std::size_t p = 0;
  for (std::size_t k; (k = value.find("]]>", p)) != std::string_view::npos; p = k + 3) {
    out.put(value.substr(p, k - p));
    out.put("]]]]><![CDATA[>");
  }
  out.put(value.substr(p));
  out.put("]]>");
}

// Plain text content is read from its first non-blank byte up to the first
// "</": a value that begins with a blank or "<", or holds "</", would not
// read back as itself and is written as CDATA instead.
bool needscdata(std::string_view value) {
  return xmlblank(static_cast<unsigned char>(value[0])) || value[0] == '<' ||
         value.find("</") != std::string_view::npos;
}

void putvalue(Out& out, const XmlNode* node) {
  std::string_view value = xmlvalueview(node);
  if (needscdata(value)) {
    out.put(">");
    putcdata(out, value);
  } else if (node->vallen < kLongValue) {
    out.put(">");
    out.put(value);
  } else {
    // The end tag follows the value directly, so that no indentation is
    // read back as part of it.
    out.put(">\n");
    out.put(value);
  }
  out.put("</");
  out.put(nameof(node));
  out.put(">\n");
}

void tracenode(RunContext& rc, const XmlNode* node, int level, std::string_view indent) {
  std::string head(xmlvalueview(node).substr(0, 20));
  std::string name(nameof(node));
  printmsg(rc, "%2d: %d %d %d %.*s<%s>  :%20.20s\n", level, node->nattr, node->nchild,
           node->vallen, static_cast<int>(indent.size()), indent.data(), name.c_str(),
           head.c_str());
}

void savetree(RunContext& rc, FILE* stream, XmlNode* node, int level) {
  constexpr std::string_view spaces = "                    ";
  static_assert(spaces.size() == kMaxIndent);
  Out out(stream);
  auto indent = [&](int lv) { return spaces.substr(0, lv < kMaxIndent ? lv : kMaxIndent); };
  walktree(
      node, level,
      [&](XmlNode* n, int lv) {
        if (rc.verboseLevel != 0) tracenode(rc, n, lv, indent(lv));
        if (n->flags & kXmlVerbatim) {
          out.put(xmlvalueview(n));
          return false;
        }
        out.put(indent(lv));
        out.put("<");
        out.put(nameof(n));
        if (n->first) {
          out.put(">\n");
          return true;
        }
        if (n->vallen <= 0)
          out.put(n->namelen > 0 ? "/>\n" : " />\n");  // "</>" would read as an end tag
        else
          putvalue(out, n);
        return false;
      },
      [&](XmlNode* n, int lv) {
        out.put(indent(lv));
        out.put("</");
        out.put(nameof(n));
        out.put(">\n");
      });
}

void compact(Out& out, XmlNode* node) {
  walktree(
      node, 0,
      [&](XmlNode* n, int) {
        if (n->flags & kXmlVerbatim) {
          out.put(xmlvalueview(n));  // only ever written indented
          return false;
        }
        if (n->type == kXmlCdata) {
          putcdata(out, xmlvalueview(n));
          return false;
        }
        if (n->type != kXmlElement) {
          out.put(xmlvalueview(n));
          return false;
        }
        out.put("<");
        out.put(nameof(n));
        for (int32_t i = 0; i < n->nattr && n->attrs; ++i) {
          const XmlAttr& a = n->attrs[i];
          if (!a.value) continue;
          out.put(" ");
          out.put(a.name ? a.name : "");
          out.put("=\"");
          out.put(a.value);
          out.put("\"");
        }
        out.put(n->first ? ">" : "/>");
        return n->first != nullptr;
      },
      [&](XmlNode* n, int) {
        out.put("</");
        out.put(nameof(n));
        out.put(">");
      });
}

}  // namespace

int xmlsave(RunContext& rc, const char* path, FILE* stream, XmlNode* node, int level) {
  if (path) {
    clearcause(rc);  // a failure below names its own
    AtomicFile file(rc, path);
    if (!file.stream()) return -2;
    savetree(rc, file.stream(), node, level);
    return file.commit(true);
  }
  if (!stream) return -2;
  savetree(rc, stream, node, level);
  return std::fflush(stream) != 0 || std::ferror(stream) ? -2 : 0;
}

int printlong(RunContext& rc, FILE* stream, const char* text) {
  std::string_view rest(text ? text : "");
  while (!rest.empty()) {
    std::string_view piece = rest.substr(0, kPiece);
    if (stream)
      std::fwrite(piece.data(), 1, piece.size(), stream);
    else
      printmsg(rc, "%.*s", static_cast<int>(piece.size()), piece.data());
    rest.remove_prefix(piece.size());
  }
  return 0;
}

int xmlsavenum(RunContext& rc, const char* filename, XmlNode* node, int a, int b) {
  char name[256];
  int n = copystr(filename, name, 255);
  if (n <= 4) return 0;
  name[n - 4] = '\0';
  char numbered[300];
  std::snprintf(numbered, sizeof numbered, "%s_%d_%d.xml", name, a, b);
  return xmlsave(rc, numbered, nullptr, node, 0);
}

int xmlwrite(FILE* stream, XmlNode* node) {
  if (!stream) return -2;
  {
    Out out(stream);
    compact(out, node);
  }
  return std::ferror(stream) ? -2 : 0;
}

int xmlwritestr(std::string& out, XmlNode* node) {
  Out to(&out);
  compact(to, node);
  return 0;
}

int xmldump(RunContext& rc, XmlNode* node, int siblings) {
  if (!node) return 0;
  XmlNode* stack[kXmlMaxLevels];
  int level = 0;
  XmlNode* cur = stack[0] = node;
  for (;;) {
    printmsg(rc, "node %d: %-12.12s type=%d  haschild=%d hasSib=%d attribs=%d", level,
             cur->name ? cur->name : "", cur->type, cur->nchild, cur->next ? 1 : 0, cur->nattr);
    std::string value(xmlvalueview(cur));
    printmsg(rc, " value=%s\n", value.c_str());
    for (int32_t i = 0; i < cur->nattr && cur->attrs; ++i) {
      const XmlAttr& a = cur->attrs[i];
      printmsg(rc, "    attrib (%d/%d) %s=\"%s\"\n", i + 1, cur->nattr, a.name ? a.name : "",
               a.value ? a.value : "");
    }
    if (cur->first && level < kXmlMaxLevels - 1) {
      cur = stack[++level] = cur->first;
      continue;
    }
    if (level == 0) return 0;  // a top node without children ends the walk
    for (;;) {
      if (cur->next) {
        cur = stack[level] = cur->next;
        break;
      }
      cur = stack[--level];
      if (level == 0) {
        if (!siblings || !cur->next) return 0;
        cur = stack[0] = cur->next;
        break;
      }
    }
  }
}

}  // namespace trosk
