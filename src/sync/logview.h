// A project log as the comparison reads it, whether it was read as a tree
// (which the run may rewrite) or as a table (only read, or with the tree it
// was read with to rewrite): its entries in document order, the entries of
// the working directory found by name, and the values the comparison asks
// for. The comparison walks one view; only the view knows which it holds.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "repo/filestats.h"
#include "repo/logtable.h"
#include "xml/xmlnode.h"

namespace trosk {

struct RunContext;

// One entry as the comparison sees it.
struct LogItem {
  std::string_view name;    // as xmlgettext copies it (at most 255 characters)
  std::string_view source;  // the stored name, empty when none
  FileStats stats;
  bool flagged = false;     // the entry carries a status word
  XmlNode* node = nullptr;  // the entry of a tree; null in a table
  long filed = -1;          // its place in a table's file index; -1 in a tree
};

class LogView {
 public:
  // A view of the log element `tree` (null: no log), or of a table.
  LogView(RunContext& rc, XmlNode* tree) : rc_(rc), tree_(tree) {}
  // With `tree`, a table read with kReadEdit, whose entries are rewritten there.
  LogView(RunContext& rc, const LogTable& table, XmlNode* tree = nullptr)
      : rc_(rc), tree_(tree), table_(&table) {}

  XmlNode* tree() const { return tree_; }
  bool tabled() const { return table_ != nullptr; }
  bool empty() const { return !tree_ && !table_; }
  // The children of the log element.
  long long children() const;
  // The log's "subversion", as xmlgetint finds it (0 when none).
  int subversion() const;
  // Whether a child of the log element is called exactly `word`.
  bool has(const char* word) const;
  // Hands each entry from the first child called `word` on whose name
  // begins with it, with its position counted from that first one, to
  // `visit` (entries without a name are passed over); stops when `visit`
  // returns false.
  using Visitor = std::function<bool(const LogItem&, long long position)>;
  void each(const char* word, const Visitor& visit) const;
  // The "file" entry called `name` (an "archive" entry with `archive`) into
  // `found`. False when there is none.
  bool find(const char* name, bool archive, LogItem* found);
  // The tree has a new `entry` of that name: lookups find it.
  void wrote(const char* name, bool archive, XmlNode* entry);
  // Hands the name of each entry (of a tree: each child with a name) to `visit`.
  void names(const std::function<void(std::string_view)>& visit) const;

 private:
  void indexarchives();
  void readnode(LogItem* found);  // the stats and status of found->node
  bool findwritten(const char* name, bool archive, LogItem* found);

  RunContext& rc_;
  XmlNode* tree_ = nullptr;
  const LogTable* table_ = nullptr;
  bool archivesindexed_ = false;
  std::unordered_map<std::string, XmlNode*> archives_;  // a tree's archive entries by name
  // Entries a table lacked that its tree has now, by the name a lookup seeks.
  std::unordered_map<std::string, XmlNode*> files_, addedarchives_;
};

}  // namespace trosk
