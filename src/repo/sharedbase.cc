#include "repo/sharedbase.h"

#include <charconv>
#include <cstdio>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "core/blockcopy.h"
#include "xml/xmlparse.h"
#include "xml/xmlvalues.h"

namespace trosk {
namespace {

using Records = std::vector<std::pair<int, int>>;  // version, subversion; oldest first

constexpr const char* kShared = "shared";

XmlNode* sharednode(XmlNode* log) {
  for (XmlNode* n = log ? log->first : nullptr; n; n = n->next) {
    if (xmlisnamed(n, kShared)) return n;
  }
  return nullptr;
}

// Pairs that do not read as two positive numbers are passed over.
Records parserecords(std::string_view text) {
  Records records;
  while (!text.empty()) {
    std::size_t blank = text.find(' ');
    std::string_view pair = text.substr(0, blank);
    text = blank == std::string_view::npos ? std::string_view() : text.substr(blank + 1);
    std::size_t slash = pair.find('/');
    if (slash == std::string_view::npos) continue;
    int v = 0, s = 0;
    auto a = std::from_chars(pair.data(), pair.data() + slash, v);
    auto b = std::from_chars(pair.data() + slash + 1, pair.data() + pair.size(), s);
    if (a.ec != std::errc() || a.ptr != pair.data() + slash || b.ec != std::errc() ||
        b.ptr != pair.data() + pair.size() || v <= 0 || s <= 0)
      continue;
    records.emplace_back(v, s);
  }
  return records;
}

void drop(Records& records, int version) {
  std::erase_if(records, [version](const auto& r) { return r.first == version; });
}

void store(XmlNode* log, Records records) {
  if (records.size() > kSharedVersionsKept)
    records.erase(records.begin(), records.end() - kSharedVersionsKept);
  if (XmlNode* old = sharednode(log)) xmlfree(old, kXmlFreeUnlink);
  if (records.empty()) return;
  std::string text;
  for (const auto& [v, s] : records) {
    if (!text.empty()) text += ' ';
    text += std::to_string(v) + "/" + std::to_string(s);
  }
  xmladdval(log, kShared, text.c_str(), kXmlText);
}

int childint(XmlNode* log, const char* name) {
  for (XmlNode* n = log ? log->first : nullptr; n; n = n->next) {
    if (xmlisnamed(n, name)) return xmlnumber(xmlval(n), 0);
  }
  return 0;
}

// The version a log names and its records, as found among the children of
// its document element.
struct Held {
  int version = 0;
  int subversion = 0;
  Records records;
};

void addheld(Records& records, const Held& held, int to) {
  drop(records, to);
  if (held.version > 0 && held.version != to && held.subversion > 0) {
    drop(records, held.version);
    records.emplace_back(held.version, held.subversion);
  }
}

// Reads the local log file one top-level child at a time: only its first
// values are wanted, not its entries.
Held readheld(RunContext& rc, const char* path) {
  Held held;
  std::string text = readwholefile(path);
  if (text.empty()) return held;
  bool version = false, subversion = false;
  XmlTree document(xmlparsestream(rc, text.data(), [&](XmlNode* child) {
    if (!version && xmlisnamed(child, "pversion")) {
      held.version = xmlnumber(xmlval(child), 0);
      version = true;
    } else if (!subversion && xmlisnamed(child, "subversion")) {
      held.subversion = xmlnumber(xmlval(child), 0);
      subversion = true;
    } else if (xmlisnamed(child, kShared) && held.records.empty()) {
      held.records = parserecords(xmlvalueview(child));
    }
  }, nullptr));
  return held;
}

}  // namespace

int sharedsubversion(XmlNode* log, int version) {
  if (!log || version <= 0) return 0;
  if (childint(log, "pversion") == version) return childint(log, "subversion");
  XmlNode* node = sharednode(log);
  if (!node) return 0;
  for (const auto& [v, s] : parserecords(xmlvalueview(node))) {
    if (v == version) return s;
  }
  return 0;
}

void switchshared(XmlNode* log, int to) {
  Held held{childint(log, "pversion"), childint(log, "subversion"), {}};
  XmlNode* node = sharednode(log);
  Records records = node ? parserecords(xmlvalueview(node)) : Records();
  addheld(records, held, to);
  store(log, std::move(records));
}

void carryshared(RunContext& rc, const char* path, XmlNode* log, int to) {
  Held held = readheld(rc, path);
  addheld(held.records, held, to);
  store(log, std::move(held.records));
}

}  // namespace trosk
