#include "repo/logtable.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "core/strutil.h"
#include "repo/projectlog.h"
#include "xml/xmlnode.h"
#include "xml/xmlparse.h"

namespace trosk {
namespace {

// A search enters the children of no node deeper than this below its start.
constexpr int kDeepest = kXmlMaxLevels - 1;
// What xmlgettext keeps of a value in the 256 bytes a comparison gives it.
constexpr std::size_t kCopied = 255;

constexpr const char* kValueNames[] = {"host", "pversion", "subversion"};

// The fewest bytes of text an entry written by the system takes, about.
constexpr std::size_t kEntryText = 128;

// The first node called `name` in document order in the subtree of `top`,
// which lies `level` levels below the start of the search: the node that
// xmlfind from that start finds, when none comes before this subtree.
XmlNode* firstnamed(XmlNode* top, int level, std::string_view name) {
  XmlNode* node = top;
  for (;;) {
    if (xmlisnamed(node, name)) return node;
    if (node->first && level < kDeepest) {
      node = node->first;
      ++level;
      continue;
    }
    while (node != top && !node->next) {
      node = node->parent;
      --level;
    }
    if (node == top) return nullptr;
    node = node->next;
  }
}

// The value as xmlval gives it (up to a NUL), at most `limit` bytes.
std::string_view valueof(const XmlNode* node, std::size_t limit) {
  std::string_view v = xmlvalueview(node);
  v = v.substr(0, std::min(limit, v.size()));
  if (v.empty()) return v;  // an empty value may have no text at all
  return v.substr(0, strnlen(v.data(), v.size()));
}

// xmlgettext(entry, name) into 256 bytes.
std::string_view childtext(XmlNode* entry, std::string_view name) {
  const XmlNode* found = firstnamed(entry, 0, name);
  return found ? valueof(found, kCopied) : std::string_view();
}

uint64_t hashof(std::string_view name) { return std::hash<std::string_view>{}(name); }

// Appends `text` to the pool: its offset.
uint32_t pooled(std::string& pool, std::string_view text) {
  auto at = static_cast<uint32_t>(pool.size());
  pool.append(text);
  return at;
}

LogRecord recordof(RunContext& rc, XmlNode* entry) {
  LogRecord r;
  checknode(rc, entry, &r.stats);
  for (const XmlNode* c = entry->first; c && !r.flagged; c = c->next) r.flagged = xmlisnamed(c, "status");
  return r;
}

bool namedas(std::string_view have, std::string_view want) {
  return have.size() == want.size() && strncmpi(have.data(), want.data(), want.size()) == 0;
}

bool beginswith(std::string_view have, std::string_view word) {
  return have.size() >= word.size() && strncmpi(have.data(), word.data(), word.size()) == 0;
}

uint8_t kindof(std::string_view name) {
  uint8_t kind = 0;
  if (beginswith(name, "file")) kind |= namedas(name, "file") ? kLogFile | kLogFilePrefix : kLogFilePrefix;
  if (beginswith(name, "archive"))
    kind |= namedas(name, "archive") ? kLogArchive | kLogArchivePrefix : kLogArchivePrefix;
  return kind;
}

uint8_t kindof(const XmlNode* node) {
  return node->name ? kindof(std::string_view(node->name, static_cast<std::size_t>(node->namelen))) : 0;
}

// Takes the children of the document element as the parse completes them.
struct Reader {
  RunContext& rc;
  LogTable& table;
  int what;
  const XmlNode* root = nullptr;
  std::optional<std::string>* values[3] = {&table.host, &table.pversion, &table.subversion};
  bool listfound = false;  // the list of "file" entries that lookups see is known
  bool filing = false;     // it is the list of the document element's children

  void take(XmlNode* child);
  void findvalues(XmlNode* child);
  void findlist(XmlNode* child);
  void file(XmlNode* entry);
  void archive(XmlNode* entry);
  void entry(XmlNode* child, uint32_t position);
};

void Reader::take(XmlNode* child) {
  auto position = static_cast<uint32_t>(table.children++);
  root = child->parent;
  findvalues(child);
  if (what & kReadIndex) {
    findlist(child);
    if (xmlisnamed(child, "archive")) archive(child);
  }
  if (what & kReadEntries) entry(child, position);
}

// A value the document element bears itself is filled in at the end.
void Reader::findvalues(XmlNode* child) {
  for (int i = 0; i < 3; ++i) {
    if (*values[i] || xmlisnamed(root, kValueNames[i])) continue;
    if (const XmlNode* found = firstnamed(child, 1, kValueNames[i]))
      *values[i] = valueof(found, std::string::npos);
  }
}

// Lookups file the first "file" of the tree and its following siblings.
void Reader::findlist(XmlNode* child) {
  if (filing) {
    file(child);
    return;
  }
  if (listfound) return;
  XmlNode* first = firstnamed(child, 1, "file");
  if (!first) return;
  listfound = true;
  filing = first == child;
  for (XmlNode* e = first; e; e = e->next) file(e);
}

void Reader::file(XmlNode* entry) {
  if (!xmlisnamed(entry, "file")) return;
  for (const XmlNode* c = entry->first; c; c = c->next) {
    if (!xmlisnamed(c, "name")) continue;
    // Blanks and line ends after a stored name are not part of it.
    if (LogRecord* record = table.files.add(trimmedname(xmlvalueview(c))))
      *record = recordof(rc, entry);
    return;
  }
}

void Reader::archive(XmlNode* entry) {
  std::string_view name = childtext(entry, "name");
  if (name.empty()) return;
  if (LogRecord* record = table.archives.add(name)) *record = recordof(rc, entry);
}

void Reader::entry(XmlNode* child, uint32_t position) {
  uint8_t kind = kindof(child);
  if (!kind) return;
  std::string_view name = childtext(child, "name"), source = childtext(child, "source");
  LogEntry e{position, kind, pooled(table.pool, name), static_cast<uint32_t>(name.size()),
             pooled(table.pool, source), static_cast<uint32_t>(source.size()), recordof(rc, child)};
  table.entries.push_back(e);
}

// --- The layout the system writes, read without building a tree -----------
//
// A log as the system writes it is a document element holding elements that
// are either a text or a list of texts. Such a text is read here straight
// from the log and gives the table the tree would give; anything else
// (attributes, comments, sections, deeper nesting, loose text, another case
// in an end tag) sends the whole log to the tree reader instead.

struct Field {
  std::string_view name, value;
};

// A child of the document element: a text, or the fields it holds.
struct Plain {
  std::string_view name, value;
  std::vector<Field> fields;
  std::size_t begin = 0, end = 0;  // from its start tag to the end of its end tag
};

class PlainText {
 public:
  explicit PlainText(std::string_view text) : s_(text) {}

  // The document element's name, after any leading declarations.
  bool open(std::string_view* root) {
    for (blanks(); s_.compare(p_, 2, "<?") == 0; blanks()) {
      std::size_t end = s_.find("?>", p_ + 2);
      if (end == std::string_view::npos || end < p_ + 3) return false;
      p_ = end + 2;
    }
    if (!starttag(root)) return false;
    blanks();
    return at('<');
  }
  // The next child into `child`; false at the end of the document element
  // (`done`) or at anything this reader leaves to the tree.
  bool next(std::string_view root, Plain* child, bool* done) {
    blanks();
    if (s_.compare(p_, 2, "</") == 0) {
      *done = endtag(root);
      return false;
    }
    child->value = {};
    child->fields.clear();
    child->begin = p_;
    if (!starttag(&child->name)) return false;
    blanks();
    if (!at('<')) {
      bool read = text(child->name, &child->value);
      child->end = p_;
      return read;
    }
    while (s_.compare(p_, 2, "</") != 0) {
      Field f;
      if (!starttag(&f.name)) return false;
      blanks();
      if (!(at('<') ? endtag(f.name) : text(f.name, &f.value))) return false;
      child->fields.push_back(f);
      blanks();
    }
    bool read = endtag(child->name);
    child->end = p_;
    return read;
  }

 private:
  bool at(char c) const { return p_ < s_.size() && s_[p_] == c; }
  void blanks() {
    while (p_ < s_.size() && xmlblank(static_cast<unsigned char>(s_[p_]))) ++p_;
  }
  // "<name>", nothing else in the tag.
  bool starttag(std::string_view* name) {
    if (!at('<')) return false;
    std::size_t q = p_ + 1;
    while (q < s_.size() && xmlnamebyte(static_cast<unsigned char>(s_[q]))) ++q;
    if (q == p_ + 1 || q >= s_.size() || s_[q] != '>') return false;
    *name = s_.substr(p_ + 1, q - p_ - 1);
    p_ = q + 1;
    return true;
  }
  // "</name>" exactly.
  bool endtag(std::string_view name) {
    if (s_.compare(p_, 2, "</") != 0 || s_.compare(p_ + 2, name.size(), name) != 0 ||
        p_ + 2 + name.size() >= s_.size() || s_[p_ + 2 + name.size()] != '>')
      return false;
    p_ += name.size() + 3;
    return true;
  }
  // A text without markup up to the end tag of `name`.
  bool text(std::string_view name, std::string_view* value) {
    std::size_t lt = s_.find('<', p_);
    if (lt == std::string_view::npos) return false;
    *value = s_.substr(p_, lt - p_);
    p_ = lt;
    return endtag(name);
  }

  std::string_view s_;
  std::size_t p_ = 0;
};

// Whether a plain log is byte for byte what writing its tree gives: the
// document element alone, each child and field on a line of its own,
// indented by its level, short values beside their tags and long ones on
// the next line, nothing empty, nothing after the end.
class Exact {
 public:
  Exact(std::string_view text, std::string_view root) : s_(text), root_(root) {}

  bool opened() {
    if (!piece(0, "<") || !piece(1, root_) || !piece(1 + root_.size(), ">\n")) return false;
    at_ = root_.size() + 3;
    return true;
  }
  bool child(const Plain& c) {
    if (c.begin != at_ + 1 || s_[at_] != ' ') return false;
    p_ = c.begin;
    bool ok = c.fields.empty() ? element(c.name, c.value) : list(c);
    if (!ok || p_ != c.end || !piece(p_, "\n")) return false;
    at_ = c.end + 1;
    ++children_;
    return true;
  }
  bool closed() const {
    return children_ > 0 && s_.size() == at_ + root_.size() + 4 && piece(at_, "</") &&
           piece(at_ + 2, root_) && piece(at_ + 2 + root_.size(), ">\n");
  }

 private:
  static constexpr std::size_t kLong = 80;  // values this long start on a line of their own

  bool piece(std::size_t at, std::string_view p) const { return s_.compare(at, p.size(), p) == 0; }
  bool take(std::string_view p) {
    if (!piece(p_, p)) return false;
    p_ += p.size();
    return true;
  }
  bool element(std::string_view name, std::string_view value) {
    return !value.empty() && take("<") && take(name) && take(">") &&
           (value.size() < kLong || take("\n")) && take(value) && take("</") && take(name) &&
           take(">");
  }
  bool list(const Plain& c) {
    if (!take("<") || !take(c.name) || !take(">\n")) return false;
    for (const Field& f : c.fields) {
      if (!take("  ") || !element(f.name, f.value) || !take("\n")) return false;
    }
    return take(" </") && take(c.name) && take(">");
  }

  std::string_view s_, root_;
  std::size_t at_ = 0;  // where the next child's line begins
  std::size_t p_ = 0;
  long children_ = 0;
};

// What Reader does with a child of the document element, for a plain one.
struct PlainReader {
  RunContext& rc;
  LogTable& table;
  int what;
  std::optional<std::string>* values[3] = {&table.host, &table.pversion, &table.subversion};
  bool listfound = false;
  bool filing = false;
  XmlNode* tree = nullptr;  // the tree a log to change is read into, or null
  XmlNode* node = nullptr;  // the node of the child in hand

  // The first of `child` and its fields called `name`, as firstnamed finds it.
  static const std::string_view* firstnamed(const Plain& child, std::string_view name) {
    if (namedas(child.name, name)) return &child.value;
    for (const Field& f : child.fields)
      if (namedas(f.name, name)) return &f.value;
    return nullptr;
  }
  // childtext: the first field called `name` (a child of "name" itself
  // holds no field of that name), as 256 bytes keep it.
  static std::string_view fieldtext(const Plain& child, std::string_view name) {
    for (const Field& f : child.fields)
      if (namedas(f.name, name)) return f.value.substr(0, std::min(kCopied, f.value.size()));
    return {};
  }
  static LogRecord recordof(const Plain& child) {
    LogRecord r;
    EntryStats reader(&r.stats);
    for (const Field& f : child.fields) {
      reader.take(f.name, f.value);
      r.flagged = r.flagged || namedas(f.name, "status");
    }
    return r;
  }

  // An entry stands as its line of text; any other child is built, so that
  // the values of the log can be set.
  void build(std::string_view text, const Plain& child) {
    std::string name(child.name);
    if (kindof(child.name)) {
      node = xmlverbatim(tree, name.c_str(), text.substr(child.begin - 1, child.end - child.begin + 2));
    } else if (child.fields.empty()) {
      node = xmladdval(tree, name.c_str(), std::string(child.value).c_str(), kXmlText);
    } else {
      node = xmlnode(tree, name.c_str());
      for (const Field& f : child.fields)
        xmladdval(node, std::string(f.name).c_str(), std::string(f.value).c_str(), kXmlText);
    }
  }
  void take(const Plain& child) {
    auto position = static_cast<uint32_t>(table.children++);
    for (int i = 0; i < 3; ++i) {
      if (*values[i]) continue;
      if (const std::string_view* found = firstnamed(child, kValueNames[i])) values[i]->emplace(*found);
    }
    if (what & kReadIndex) {
      findlist(child);
      if (namedas(child.name, "archive")) archive(child);
    }
    if (what & kReadEntries) entry(child, position);
  }
  void findlist(const Plain& child) {
    if (filing) return file(child);
    if (listfound || !firstnamed(child, "file")) return;
    // A field called "file" holds no entries: the list is found, and empty.
    listfound = true;
    filing = namedas(child.name, "file");
    if (filing) file(child);
  }
  void file(const Plain& child) {
    if (!namedas(child.name, "file")) return;
    for (const Field& f : child.fields) {
      if (!namedas(f.name, "name")) continue;
      if (LogRecord* record = table.files.add(trimmedname(f.value))) {
        *record = recordof(child);
        if (tree) table.filenodes.push_back(node);
      }
      return;
    }
  }
  void archive(const Plain& child) {
    std::string_view name = fieldtext(child, "name");
    if (name.empty()) return;
    if (LogRecord* record = table.archives.add(name)) {
      *record = recordof(child);
      if (tree) table.archivenodes.push_back(node);
    }
  }
  void entry(const Plain& child, uint32_t position) {
    uint8_t kind = kindof(child.name);
    if (!kind) return;
    std::string_view name = fieldtext(child, "name"), source = fieldtext(child, "source");
    LogEntry e{position, kind, pooled(table.pool, name), static_cast<uint32_t>(name.size()),
               pooled(table.pool, source), static_cast<uint32_t>(source.size()), recordof(child)};
    table.entries.push_back(e);
    if (tree) table.entrynodes.push_back(node);
  }
};

// Reads a log of the plain layout into `table`. False, the table left to be
// read afresh, for any other.
bool readplain(RunContext& rc, std::string_view text, int what, LogTable& table) {
  PlainText reader(text);
  std::string_view root;
  if (!reader.open(&root) || namedas(root, "file")) return false;
  for (const char* word : kValueNames)
    if (namedas(root, word)) return false;
  PlainReader into{rc, table, what};
  Exact exact(text, root);
  bool edit = (what & kReadEdit) != 0;
  if (edit) {
    if (!exact.opened()) return false;
    table.tree.reset(xmlnode(nullptr, std::string(root).c_str()));
    into.tree = table.tree.get();
  }
  Plain child;
  bool done = false;
  while (reader.next(root, &child, &done)) {
    if (edit) {
      if (!exact.child(child)) return false;
      into.build(text, child);
    }
    into.take(child);
  }
  return done && (!edit || exact.closed());
}

}  // namespace

const NameIndex::Named* NameIndex::find(std::string_view name) const {
  if (slots.empty()) return nullptr;
  uint64_t hash = hashof(name);
  std::size_t mask = slots.size() - 1;
  for (std::size_t i = hash & mask; slots[i]; i = (i + 1) & mask) {
    if ((slots[i] ^ hash) >> 32) continue;
    const Named& n = records[(slots[i] & 0xFFFFFFFF) - 1];
    if (n.hash == hash && nameof(n) == name) return &n;
  }
  return nullptr;
}

LogRecord* NameIndex::add(std::string_view name) {
  uint64_t hash = hashof(name);
  if (2 * (records.size() + 1) > slots.size()) {
    slots.assign(std::max<std::size_t>(16, 2 * slots.size()), 0);
    for (uint32_t i = 0; i < records.size(); ++i) place(i);
  }
  if (find(name)) return nullptr;
  records.push_back({hash, pooled(names, name), static_cast<uint32_t>(name.size()), {}});
  place(static_cast<uint32_t>(records.size() - 1));
  return &records.back().record;
}

void NameIndex::place(uint32_t index) {
  uint64_t hash = records[index].hash;
  std::size_t mask = slots.size() - 1;
  std::size_t i = hash & mask;
  while (slots[i]) i = (i + 1) & mask;
  slots[i] = (hash & ~uint64_t{0xFFFFFFFF}) | (index + 1);
}

const NameIndex::Named* LogTable::findfile(const char* name) const {
  return files.find(trimmedname(name));
}

const NameIndex::Named* LogTable::findarchive(const char* name) const {
  return archives.find(name);
}

int readlogtable(RunContext& rc, char* text, int what, LogTable& table) {
  table = LogTable{};
  // Room for as many entries as the text can hold in the usual layout:
  // what is never used is never touched, and growing would copy it all.
  std::size_t length = text ? std::strlen(text) : 0;
  std::size_t room = length / kEntryText;
  if (what & kReadEntries) table.entries.reserve(room);
  if (what & kReadIndex) table.files.records.reserve(room);
  if (!(what & kReadTree) && readplain(rc, std::string_view(text ? text : "", length), what, table))
    return 1;
  table = LogTable{};
  if (what & kReadEdit) return 0;
  if (what & kReadEntries) table.entries.reserve(room);
  if (what & kReadIndex) table.files.records.reserve(room);
  Reader reader{rc, table, what};
  XmlTree root(xmlparsestream(rc, text, [&reader](XmlNode* child) { reader.take(child); }, nullptr));
  if (!root || !root->name || root->namelen == 0) return -2;
  if (xmlisnamed(root.get(), "file")) return 0;  // the document element is itself an entry
  for (int i = 0; i < 3; ++i) {
    if (xmlisnamed(root.get(), kValueNames[i])) *reader.values[i] = valueof(root.get(), std::string::npos);
  }
  return 1;
}

}  // namespace trosk
