#include "sync/logview.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/strutil.h"
#include "repo/projectlog.h"
#include "xml/xmlfind.h"
#include "xml/xmlvalues.h"

namespace trosk {
namespace {

constexpr int kNameMax = 255;

bool named(const XmlNode* node, const char* word, bool prefix) {
  std::size_t n = std::strlen(word);
  if (!node->name || node->namelen < static_cast<int32_t>(n)) return false;
  if (!prefix && node->namelen != static_cast<int32_t>(n)) return false;
  return strncmpi(node->name, word, n) == 0;
}

// The first direct child of the log element called `word`.
XmlNode* firstnamed(XmlNode* root, const char* word) {
  for (XmlNode* n = root->first; n; n = n->next) {
    if (named(n, word, false)) return n;
  }
  return nullptr;
}

bool haschild(const XmlNode* entry, const char* name) {
  for (const XmlNode* c = entry->first; c; c = c->next) {
    if (xmlisnamed(c, name)) return true;
  }
  return false;
}

uint8_t exactkind(const char* word) {
  return std::strcmp(word, "file") == 0 ? kLogFile : kLogArchive;
}

}  // namespace

long long LogView::children() const {
  if (table_) return static_cast<long long>(table_->children);
  return xmlnchild(tree_);
}

int LogView::subversion() const {
  if (!table_) return xmlgetint(tree_, "subversion", 0);
  return table_->subversion ? xmlnumber(table_->subversion->c_str(), 0) : 0;
}

bool LogView::has(const char* word) const {
  if (!table_) return tree_ && firstnamed(tree_, word) != nullptr;
  uint8_t kind = exactkind(word);
  return std::any_of(table_->entries.begin(), table_->entries.end(),
                     [kind](const LogEntry& e) { return e.kind & kind; });
}

void LogView::each(const char* word, const Visitor& visit) const {
  if (!table_) {
    if (!tree_) return;
    char name[kNameMax + 1], source[kNameMax + 1];
    long long index = 0;
    for (XmlNode* n = firstnamed(tree_, word); n; n = n->next, ++index) {
      if (!named(n, word, true)) continue;
      xmlgettext(n, "name", name, sizeof name);
      if (!name[0]) continue;
      xmlgettext(n, "source", source, sizeof source);
      LogItem item;
      item.name = name;
      item.source = source;
      item.node = n;
      checknode(rc_, n, &item.stats);
      if (!visit(item, index)) return;
    }
    return;
  }
  uint8_t exact = exactkind(word), prefix = exact == kLogFile ? kLogFilePrefix : kLogArchivePrefix;
  const std::vector<LogEntry>& entries = table_->entries;
  auto first = std::find_if(entries.begin(), entries.end(),
                            [exact](const LogEntry& e) { return e.kind & exact; });
  for (auto e = first; e != entries.end(); ++e) {
    if (!(e->kind & prefix)) continue;
    LogItem item;
    item.name = table_->text(e->name, e->namelength).substr(0, kNameMax);
    if (item.name.empty()) continue;
    item.source = table_->text(e->source, e->sourcelength).substr(0, kNameMax);
    item.stats = e->record.stats;
    if (tree_) item.node = table_->entrynodes[static_cast<std::size_t>(e - entries.begin())];
    if (!visit(item, e->position - first->position)) return;
  }
}

void LogView::indexarchives() {
  // The project log lookup serves "file" entries only; the archive entries
  // are indexed here once, so that they too are found, not added again.
  archivesindexed_ = true;
  if (!tree_) return;
  char name[kNameMax + 1];
  for (XmlNode* n = tree_->first; n; n = n->next) {
    if (!named(n, "archive", false)) continue;
    xmlgettext(n, "name", name, sizeof name);
    if (name[0]) archives_.emplace(name, n);
  }
}

bool LogView::find(const char* name, bool archive, LogItem* found) {
  *found = LogItem{};
  if (table_) {
    const NameIndex::Named* hit = archive ? table_->findarchive(name) : table_->findfile(name);
    if (!hit) return tree_ && findwritten(name, archive, found);
    found->stats = hit->record.stats;
    found->flagged = hit->record.flagged;
    long index = hit - (archive ? table_->archives : table_->files).records.data();
    if (!archive) found->filed = index;
    if (tree_) {
      found->node = (archive ? table_->archivenodes : table_->filenodes)[static_cast<std::size_t>(index)];
      if (!(found->node->flags & kXmlVerbatim)) readnode(found);  // rewritten since
    }
    return true;
  }
  if (!tree_) return false;
  XmlNode* node = nullptr;
  if (archive) {
    if (!archivesindexed_) indexarchives();
    auto hit = archives_.find(name);
    node = hit == archives_.end() ? nullptr : hit->second;
  } else {
    node = findfilenode(rc_, tree_, name);
  }
  if (!node) return false;
  found->node = node;
  checknode(rc_, node, &found->stats);
  found->flagged = haschild(node, "status");
  return true;
}

void LogView::readnode(LogItem* found) {
  checknode(rc_, found->node, &found->stats);
  found->flagged = haschild(found->node, "status");
}

bool LogView::findwritten(const char* name, bool archive, LogItem* found) {
  const auto& added = archive ? addedarchives_ : files_;
  auto hit = added.find(archive ? std::string(name) : std::string(trimmedname(name)));
  if (hit == added.end()) return false;
  found->node = hit->second;
  readnode(found);
  return true;
}

void LogView::wrote(const char* name, bool archive, XmlNode* entry) {
  if (table_) {
    // Entries the table had are found through it.
    if (archive) {
      addedarchives_.emplace(name, entry);
    } else {
      files_.emplace(trimmedname(name), entry);
    }
    return;
  }
  if (archive && archivesindexed_) archives_.emplace(name, entry);
}

void LogView::names(const std::function<void(std::string_view)>& visit) const {
  if (table_) {
    for (const LogEntry& e : table_->entries) visit(table_->text(e.name, e.namelength));
    return;
  }
  for (XmlNode* n = tree_ ? tree_->first : nullptr; n; n = n->next) {
    if (const char* name = xmlpathval(n, "name")) visit(name);
  }
}

}  // namespace trosk
