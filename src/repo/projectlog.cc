#include "repo/projectlog.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string_view>
#include <type_traits>
#include <vector>

#include "config/project.h"
#include "core/output.h"
#include "core/runcontext.h"
#include "core/strutil.h"
#include "core/timer.h"
#include "xml/xmlfind.h"
#include "xml/xmlvalues.h"

namespace trosk {

namespace {

constexpr std::size_t kNumberText = 31;

// A value without the blanks and line ends a writer may put around it.
std::string_view stripped(std::string_view text) {
  text = trimmedname(text);
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
  return text;
}

// The value of the entry's "name" child, or nothing when it has none.
bool entryname(const XmlNode* entry, std::string_view* name) {
  for (const XmlNode* c = entry->first; c; c = c->next) {
    if (xmlisnamed(c, "name")) {
      *name = trimmedname(xmlvalueview(c));
      return true;
    }
  }
  return false;
}

// A table of entries by name: open addressing over (hash, entry) slots.
// Names are not copied; a slot's name is read from its entry, so a hit is
// always checked against the tree as it is now.
struct NameTable {
  struct Slot {
    uint64_t hash;
    XmlNode* entry;  // null: free slot
  };
  std::vector<Slot> slots;
  std::size_t used = 0;

  static uint64_t hashof(std::string_view name) { return std::hash<std::string_view>{}(name); }

  // Result of a probe: the entry carrying the name, none, or a slot whose
  // entry no longer carries the name it was filed under.
  enum Probe { kHit, kMiss, kStale };

  // With `fresh` (a table just filed) a differing name is a mere hash
  // collision and the probe goes on.
  Probe find(std::string_view name, uint64_t h, const XmlNode* parent, XmlNode** found,
             bool fresh) const {
    if (slots.empty()) return kMiss;
    std::size_t mask = slots.size() - 1;
    for (std::size_t i = h & mask; slots[i].entry; i = (i + 1) & mask) {
      if (slots[i].hash != h) continue;
      XmlNode* e = slots[i].entry;
      std::string_view stored;
      if (e->parent == parent && xmlisnamed(e, "file") && entryname(e, &stored) && stored == name) {
        *found = e;
        return kHit;
      }
      if (!fresh) return kStale;
    }
    return kMiss;
  }

  void put(uint64_t h, XmlNode* entry) {
    std::size_t mask = slots.size() - 1;
    std::size_t i = h & mask;
    while (slots[i].entry) i = (i + 1) & mask;
    slots[i] = {h, entry};
    ++used;
  }

  void grow(std::size_t atleast) {
    std::size_t size = 16;
    while (size < 2 * atleast) size *= 2;
    if (size <= slots.size()) return;
    std::vector<Slot> old(size, Slot{0, nullptr});
    old.swap(slots);
    used = 0;
    for (const Slot& s : old) {
      if (s.entry) put(s.hash, s.entry);
    }
  }

  // Files the entry under its name unless an earlier entry holds the name.
  void add(XmlNode* entry, const XmlNode* parent) {
    std::string_view name;
    if (!xmlisnamed(entry, "file") || !entryname(entry, &name)) return;
    uint64_t h = hashof(name);
    XmlNode* earlier;
    if (find(name, h, parent, &earlier, true) == kHit) return;
    grow(used + 1);
    put(h, entry);
  }
};

// The entries of a log that lookups see: the list that holds the first
// "file" element of the tree, filed by name (the first entry of each name
// in document order). It is attached to the tree's root and freed with it.
// A snapshot of the list's ends tells when the tree was changed behind the
// index's back; it is then rebuilt.
struct LogIndex final : XmlAttachment {
  XmlNode* parent = nullptr;  // holder of the entries; null when there is no "file"
  XmlNode* first = nullptr;   // first "file" element (the search starts there)
  uint32_t count = 0;         // root's child count when the index was made
  XmlNode* rootfirst = nullptr;
  XmlNode* rootlast = nullptr;
  uint32_t parentcount = 0;  // the same for the holder, when it is not the root
  XmlNode* parentlast = nullptr;
  NameTable names;
};

LogIndex* attachedindex(const XmlNode* root) { return dynamic_cast<LogIndex*>(root->attached); }

void snapshot(XmlNode* root, LogIndex& index) {
  index.count = root->nchild;
  index.rootfirst = root->first;
  index.rootlast = root->last;
  if (index.parent) {
    index.parentcount = index.parent->nchild;
    index.parentlast = index.parent->last;
  }
}

bool current(XmlNode* root, const LogIndex& index) {
  if (root->nchild != index.count || root->first != index.rootfirst ||
      root->last != index.rootlast) {
    return false;
  }
  if (index.parent && index.parent != root) {
    return index.parent->nchild == index.parentcount && index.parent->last == index.parentlast;
  }
  return true;
}

void addname(LogIndex& index, XmlNode* entry) { index.names.add(entry, index.parent); }

LogIndex& build(XmlNode* root) {
  auto& index = static_cast<LogIndex&>(*xmlattach(root, std::make_unique<LogIndex>()));
  index.first = xmlfind(root, "file", 1, nullptr, 0, 0);
  if (index.first) {
    index.parent = index.first->parent;
    index.names.grow(index.parent ? index.parent->nchild : 1);
    for (XmlNode* e = index.first; e; e = e->next) addname(index, e);
  }
  snapshot(root, index);
  return index;
}

LogIndex& indexof(XmlNode* root) {
  LogIndex* known = attachedindex(root);
  if (known && current(root, *known)) return *known;
  return build(root);
}

// Takes a newly appended entry into `index`, which was current just before.
void noteappended(XmlNode* root, LogIndex& index, XmlNode* entry) {
  if (!index.first && xmlisnamed(entry, "file")) {
    // The tree's first "file" opens the list that lookups walk, unless the
    // tree changed below its top level and holds an earlier one.
    if (xmlfind(root, "file", 1, nullptr, 0, 0) != entry) {
      xmlattach(root, nullptr);
      return;
    }
    index.first = entry;
    index.parent = root;
  }
  if (index.parent == root) addname(index, entry);
  snapshot(root, index);
}

// Drops every index that may list the entries held by `holder`: those of
// the trees it belongs to.
void forgetholder(XmlNode* holder) {
  for (XmlNode* n = holder; n; n = n->parent) {
    if (attachedindex(n)) xmlattach(n, nullptr);
  }
}

// strtol / strtoll (base 10, the "C" locale) of the first kNumberText bytes:
// blanks, a sign, digits, and the largest or smallest value when the digits
// run past it. Read directly: the library's locale handling dominated the
// reading of a large log.
template <class Int>
Int readinteger(std::string_view text) {
  text = text.substr(0, kNumberText);
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = i < text.size() && text[i] == '-';
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  using Magnitude = std::make_unsigned_t<Int>;
  const Magnitude limit = static_cast<Magnitude>(std::numeric_limits<Int>::max()) + (negative ? 1 : 0);
  Magnitude value = 0;
  bool over = false;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    auto digit = static_cast<Magnitude>(text[i] - '0');
    over = over || value > (limit - digit) / 10;
    if (!over) value = value * 10 + digit;
  }
  if (over) value = limit;
  return negative ? static_cast<Int>(Magnitude{0} - value) : static_cast<Int>(value);
}

// Earlier logs held sizes in 32 bits, so a size from 2 to 4 GiB was written
// negative: such a value reads as the size it stood for.
int64_t readsize(std::string_view text) {
  long long size = readinteger<long long>(text);
  if (size < 0 && size >= INT32_MIN) size += int64_t{1} << 32;
  return size;
}

long readnumber(std::string_view text) { return readinteger<long>(text); }

// Read as a float directly: a text beyond a float's range then gives
// infinity instead of an undefined conversion from double. An empty value
// has no text at all (no bytes to copy) and reads as 0.
float readdecimal(std::string_view text) {
  char buf[kNumberText + 1];
  std::size_t n = text.size() < kNumberText ? text.size() : kNumberText;
  if (n > 0) std::memcpy(buf, text.data(), n);
  buf[n] = '\0';
  return std::strtof(buf, nullptr);
}

// Node references in the trace are only told apart, not followed.
int noderef(const XmlNode* node) {
  return static_cast<int>(reinterpret_cast<uintptr_t>(node) & 0x7FFFFFFF);
}

}  // namespace

XmlNode* findfilenode(RunContext& rc, XmlNode* root, const char* name) {
  if (!root || !name) return nullptr;
  int32_t start = timerread(rc);
  std::string_view sought = trimmedname(name);
  uint64_t h = NameTable::hashof(sought);
  LogIndex* index = &indexof(root);
  XmlNode* found = nullptr;
  if (index->names.find(sought, h, index->parent, &found, false) == NameTable::kStale) {
    // The tree was changed in place: file its entries afresh and ask again.
    index = &build(root);
    if (index->names.find(sought, h, index->parent, &found, true) != NameTable::kHit) {
      found = nullptr;
    }
  }
  timerlog(rc, kTimeFindfilenode, start, "findfilenode");
  return found;
}

void EntryStats::take(std::string_view name, std::string_view v) {
  auto named = [&](int slot, std::string_view word) {
    if (seen_[slot] || name.size() != word.size() || strncmpi(name.data(), word.data(), word.size()) != 0)
      return false;
    seen_[slot] = true;
    return true;
  };
  if (named(0, "size")) {
    stats_->size = readsize(v);
  } else if (named(1, "checksum")) {
    stats_->checksum = static_cast<int32_t>(readnumber(v));
  } else if (named(2, "parity")) {
    stats_->parity = static_cast<int16_t>(readnumber(v));
  } else if (named(3, "crc")) {
    stats_->crc = static_cast<int16_t>(readnumber(v));
  } else if (named(4, "date")) {
    stats_->date = static_cast<int32_t>(readnumber(v));
  } else if (named(5, "time")) {
    stats_->time = static_cast<int32_t>(readnumber(v));
  } else if (named(6, "version")) {
    stats_->version = readdecimal(v);
  } else if (named(7, "sha256")) {
    stats_->sha256 = parsesha256(stripped(v));
  }
}

int checknode(RunContext& rc, XmlNode* entry, FileStats* stats) {
  int32_t start = timerread(rc);
  EntryStats reader(stats);
  for (XmlNode* c = entry ? entry->first : nullptr; c; c = c->next) {
    if (c->name) reader.take(std::string_view(c->name, static_cast<std::size_t>(c->namelen)), xmlvalueview(c));
  }
  timerlog(rc, kTimeChecknode, start, "checknode");
  return 0;
}

XmlNode* addfilenode(RunContext& rc, XmlNode* root, XmlNode* existing, const FileStats& stats,
                     const char* name, const char* source, int flags) {
  int32_t start = timerread(rc);
  if (rc.verboseLevel > 1) {
    printmsg(rc, "AFN  %d/%s %d <%d %d> %d %d/%s %s %s\n", root->namelen,
             root->name ? root->name : "", static_cast<int>(root->nchild), noderef(root->first),
             noderef(root->last), noderef(existing), existing ? existing->namelen : 0,
             existing && existing->name ? existing->name : "", name,
             datetext(rc, stats.date, stats.time).c_str());
  }
  XmlNode* entry = existing;
  bool renamed = false;
  LogIndex* known = attachedindex(root);
  bool fresh = known && current(root, *known);
  if (existing) {
    std::string_view old;
    renamed = !entryname(existing, &old) || old != trimmedname(name);
    xmlfreekids(existing);
  } else {
    entry = xmlnode(root, (flags & kEntryArchive) ? "archive" : "file");
  }
  xmladdval(entry, "name", name, kXmlText);
  if (source) xmladdval(entry, "source", source, kXmlText);
  if (!(flags & kEntryNoStats)) {
    if (stats.version != 0) xmlsetfloat(entry, "version", stats.version);
    if (stats.checksum != 0) xmlsetint(entry, "checksum", stats.checksum);
    if (stats.size != 0) xmlsetint(entry, "size", static_cast<long long>(stats.size));
    if (stats.parity != 0) xmlsetint(entry, "parity", stats.parity);
    if (stats.crc != 0) xmlsetint(entry, "crc", stats.crc);
    if (stats.sha256.state == Sha256Digest::kKnown)
      xmladdval(entry, "sha256", sha256hex(stats.sha256).c_str(), kXmlText);
    if (stats.date != 0) xmlsetint(entry, "date", stats.date);
    if (stats.time != 0) xmlsetint(entry, "time", stats.time);
  }
  int status = flags & kEntryStatusMask;
  if (status >= 1 && status <= 5) xmladdval(entry, "status", kStatusWords[status - 1], kXmlText);
  if (existing) {
    // Another entry may now be the first of either name: rebuild when asked.
    if (renamed) forgetholder(existing->parent);
  } else if (fresh) {
    noteappended(root, *known, entry);
  } else if (known) {
    xmlattach(root, nullptr);
  }
  timerlog(rc, kTimeAddfilenode, start, "addfilenode");
  return entry;
}

std::string_view trimmedname(std::string_view name) {
  while (!name.empty() && static_cast<unsigned char>(name.back()) <= ' ') name.remove_suffix(1);
  return name;
}

}  // namespace trosk
