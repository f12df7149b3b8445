// A project log or catalogue held for one run: loaded from the working
// directory, fetched from the host, or made new; as a tree, or as a table
// of what the comparison reads, with (kReadEdit) a tree to write back.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "net/fetch.h"
#include "repo/logtable.h"
#include "xml/xmlnode.h"

namespace trosk {

struct RunContext;

struct LogDoc {
  // Loads a local file. With `table` (kReadEntries, kReadIndex) the file is
  // read into `table` when a table can stand for it, and `peek` (may be
  // empty) sees the text before the table is read from it. Returns 1, -1
  // when unreadable, -2 when it holds no XML element.
  int load(RunContext& rc, const char* path, int table = 0,
           const std::function<void(std::string_view)>& peek = {});
  // Fetches and parses a host file, as load does. Returns 1 or a negative
  // result as load, or the negative HTTP status. With a `signer` (a key in
  // PEM) a file not signed by it ends the run before it is read.
  int fetch(RunContext& rc, const Remote& remote, const char* path, int table = 0,
            std::string_view signer = {});
  // A new log: a "trosk" element holding "pversion". Returns 1.
  int fresh(int pversion);
  // The document element ("trosk"), or null when there is none (also when
  // the log was read as a table, unless with kReadEdit).
  XmlNode* top() const;
  XmlNode* log() const { return top(); }
  // The value of the first element called `name` ("host", "pversion" or
  // "subversion"), as xmlgettext and xmlgetint read it from the tree.
  const char* text(const char* name, char* out, int size) const;
  int number(const char* name, int fallback) const;

  std::string fetched;  // the text of a fetched tree, which the tree points into
  XmlDocument doc;
  LogTable table;
  bool tabled = false;  // read into `table`
};

}  // namespace trosk
