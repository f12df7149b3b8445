#include "sync/logdoc.h"

#include <sys/stat.h>

#include <cstring>
#include <string>

#include "core/fileprobe.h"
#include "core/memory.h"
#include "core/strutil.h"
#include "sync/hosttrust.h"
#include "xml/txtfil.h"
#include "xml/xmlparse.h"
#include "xml/xmlvalues.h"

namespace trosk {

namespace {

// The table's value of the three the comparison asks for.
const std::optional<std::string>& tablevalue(const LogTable& table, const char* name) {
  if (std::strcmp(name, "host") == 0) return table.host;
  return std::strcmp(name, "pversion") == 0 ? table.pversion : table.subversion;
}

// A host file read by path has a known size: the text gets its room, its
// pages mapped, at once instead of growing step by step.
void makeroom(const Remote& remote, const char* path, std::string& text) {
  struct stat st;
  std::string full = std::string(remote.host) + "/" + path;
  if (!islocalpath(remote.host) || ::stat(full.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return;
  text.reserve(static_cast<std::size_t>(st.st_size));
  prefault(text.data(), text.capacity());
}

}  // namespace

int LogDoc::load(RunContext& rc, const char* path, int table,
                 const std::function<void(std::string_view)>& peek) {
  tabled = false;
  if (table) {
    std::size_t length = 0;
    TextBuffer text = txtfil(rc, path, &length, nullptr, 26, nullptr, nullptr);
    if (!text) return -1;
    if (peek) peek(std::string_view(text.get(), length));
    int got = readlogtable(rc, text.get(), table, this->table);
    tabled = got > 0;
    if (tabled && (table & kReadEdit)) doc.text = std::move(text);  // the tree's entries lie in it
    if (got != 0) return got;
  }
  int got = xmlload(rc, path, doc, kXmlLoadAny | kXmlLoadKeepText);
  if (got < 0) return got;
  return top() ? 1 : -2;
}

// The text is parsed where it arrived, and kept with the tree.
int LogDoc::fetch(RunContext& rc, const Remote& remote, const char* path, int table,
                  std::string_view signer) {
  tabled = false;
  doc.clear();
  fetched.clear();
  if (remote.host) makeroom(remote, path, fetched);
  long long got = getfile(rc, remote, path, kFetchNegStatus, &fetched, nullptr);
  if (got < 0) return static_cast<int>(got);
  if (!signer.empty()) checksigned(rc, remote, path, fetched, signer);
  if (table) {
    int read = readlogtable(rc, fetched.data(), table, this->table);
    tabled = read > 0;
    if (read != 0) {
      if (!(tabled && (table & kReadEdit))) fetched = std::string();  // else the tree's entries lie in it
      return read;
    }
    // The text was parsed in place, unless only to see whether it can be edited.
    if (!(table & kReadEdit)) return fetch(rc, remote, path, 0, signer);
  }
  doc.root.reset(xmlparsetext(rc, fetched.data()));
  if (!doc.root) {
    fetched = std::string();
    return -2;
  }
  copystr(path, doc.filename, static_cast<int>(sizeof doc.filename) - 1);
  return top() ? 1 : -2;
}

int LogDoc::fresh(int pversion) {
  doc.clear();
  fetched.clear();
  tabled = false;
  XmlNode* root = xmlnode(nullptr, "trosk");
  doc.root.reset(root);
  xmlsetint(root, "pversion", pversion);
  return 1;
}

XmlNode* LogDoc::top() const {
  // The parser makes the document element the root node itself.
  XmlNode* root = tabled ? table.tree.get() : doc.root.get();
  return root && root->name && root->namelen > 0 ? root : nullptr;
}

const char* LogDoc::text(const char* name, char* out, int size) const {
  if (!tabled) return xmlgettext(top(), name, out, size);
  if (!out || size <= 0) return out;
  const std::optional<std::string>& value = tablevalue(table, name);
  std::size_t n = value ? strnlen(value->c_str(), static_cast<std::size_t>(size) - 1) : 0;
  if (n > 0) std::memcpy(out, value->data(), n);
  out[n] = '\0';
  return out;
}

int LogDoc::number(const char* name, int fallback) const {
  if (!tabled) return xmlgetint(top(), name, fallback);
  const std::optional<std::string>& value = tablevalue(table, name);
  return value ? xmlnumber(value->c_str(), fallback) : fallback;
}

}  // namespace trosk
