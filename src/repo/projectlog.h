// Project logs: the XML document that lists the files of one project version
// with their statistics, and the operations that find, read and rewrite its
// file entries.
#pragma once

#include <cstdint>
#include <string_view>

#include "repo/filestats.h"
#include "xml/xmlnode.h"

namespace trosk {

struct RunContext;

// addfilenode flags: the low five bits are the status code (1 "modified",
// 2 "missing", 3 "source", 4 "older", 5 "newer").
inline constexpr int kEntryStatusMask = 0x1F;
inline constexpr int kEntryNoStats = 0x002;
inline constexpr int kEntryArchive = 0x400;

// A stored name as lookups take it: blanks (and the line end and
// indentation that a long value brings back from the writer) at its end
// are not part of it.
std::string_view trimmedname(std::string_view name);
// The "file" entry whose "name" is exactly `name` (trailing blanks of a
// stored name ignored), or null. "archive" entries are never returned.
// Average O(1) through an index kept per log tree.
XmlNode* findfilenode(RunContext& rc, XmlNode* root, const char* name);
// Reads an entry's statistics into `stats`, its "sha256" among them (a
// value that is no digest reads as kMalformed). Returns 0.
int checknode(RunContext& rc, XmlNode* entry, FileStats* stats);
// Reads an entry's statistics child by child, as checknode does: `take`
// each child's name and value in order; the first child of each name counts.
class EntryStats {
 public:
  explicit EntryStats(FileStats* stats) : stats_(stats) { *stats_ = FileStats{}; }
  void take(std::string_view name, std::string_view value);

 private:
  FileStats* stats_;
  bool seen_[8] = {};
};

// Rewrites `existing` in place (or appends a new entry to `root`) with the
// name, the source (may be null), the statistics (with "sha256" when the
// digest is known) and the status. Returns the entry.
XmlNode* addfilenode(RunContext& rc, XmlNode* root, XmlNode* existing, const FileStats& stats,
                     const char* name, const char* source, int flags);

}  // namespace trosk
