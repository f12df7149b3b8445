// A project log read for a comparison that changes nothing: the values a
// comparison asks for, each entry's name, stored name and statistics, read
// one entry at a time without keeping the tree. Every answer is the one the
// tree of the same text gives.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "repo/filestats.h"
#include "xml/xmlnode.h"

namespace trosk {

struct RunContext;

// What one entry holds.
struct LogRecord {
  FileStats stats;       // as checknode reads them
  bool flagged = false;  // the entry has a "status" child
};

// A child of the document element whose name begins with "file" or
// "archive" (ASCII case ignored), as a comparison walks them; its texts lie
// in the table's pool.
struct LogEntry {
  uint32_t position = 0;  // among the children of the document element
  uint8_t kind = 0;       // kLogFile... bits
  uint32_t name = 0, namelength = 0;  // "name" as xmlgettext copies it into 256 bytes
  uint32_t source = 0, sourcelength = 0;
  LogRecord record;
};

inline constexpr uint8_t kLogFile = 1;          // named "file"
inline constexpr uint8_t kLogFilePrefix = 2;    // named "file..."
inline constexpr uint8_t kLogArchive = 4;       // named "archive"
inline constexpr uint8_t kLogArchivePrefix = 8;

// What to read besides the values.
inline constexpr int kReadEntries = 1;  // the entries in order (a host log)
inline constexpr int kReadIndex = 2;    // lookups by name (a local log)
// Through the parser's tree, whatever the layout: the reference every
// quicker reading of a log gives the same table as.
inline constexpr int kReadTree = 4;
// Also a tree to change and write back, for a log exactly as the system
// writes it: its entries stand as their text (see kXmlVerbatim) until they
// are changed, and writing the tree gives the text again.
inline constexpr int kReadEdit = 8;

// Records filed by name, the first of each name; open addressing over the
// records, which keep the order they were filed in.
struct NameIndex {
  struct Named {
    uint64_t hash;
    uint32_t name, length;  // in `names`
    LogRecord record;
  };
  // The record filed under `name`, or null.
  const Named* find(std::string_view name) const;
  // A new record filed under `name`, to be filled in; null when the name is
  // taken.
  LogRecord* add(std::string_view name);
  std::string_view nameof(const Named& n) const { return {names.data() + n.name, n.length}; }

  std::vector<Named> records;
  std::string names;
  // 0 free, else the record's index + 1 under the high half of its hash, so
  // that a probe passes over other names without reading their records.
  std::vector<uint64_t> slots;

 private:
  void place(uint32_t index);
};

struct LogTable {
  // The entry that findfilenode finds for `name`, or null.
  const NameIndex::Named* findfile(const char* name) const;
  // The "archive" child of the document element whose "name" (as xmlgettext
  // copies it) is `name`, the first of them; null when none.
  const NameIndex::Named* findarchive(const char* name) const;
  std::string_view text(uint32_t at, uint32_t length) const { return {pool.data() + at, length}; }

  uint64_t children = 0;  // of the document element
  std::vector<LogEntry> entries;
  std::string pool;  // the entries' names and stored names
  // The value of the first element of each name that a search from the
  // document element finds; none when there is no such element.
  std::optional<std::string> host, pversion, subversion;
  NameIndex files;  // by the trimmed name, as findfilenode files them
  NameIndex archives;
  // With kReadEdit: the tree, and the node of each entry, file record and
  // archive record.
  XmlTree tree;
  std::vector<XmlNode*> entrynodes, filenodes, archivenodes;
};

// Reads a log text (parsed in place, so modified) into `table`. Returns 1;
// -2 when the text holds no parsable XML or no document element; 0 when the
// text is one a table cannot stand for (its document element bears one of
// the names looked for): the caller then reads the file again as a tree.
// With kReadEdit the text is left as it is, and must outlive the tree; 0
// also when it is not exactly as the system writes it.
int readlogtable(RunContext& rc, char* text, int what, LogTable& table);

}  // namespace trosk
