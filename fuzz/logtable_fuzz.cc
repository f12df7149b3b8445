// Fuzz target for reading a log as a table: any text must read (or be
// refused) without a fault, and every file name the table holds must be
// found by the table exactly when the tree of the same text finds it.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/runcontext.h"
#include "repo/logtable.h"
#include "repo/projectlog.h"
#include "xml/xmlparse.h"

using namespace trosk;

// The engine's messages stay out of the output file: a target writes no files.
trosk::RunContext& context() {
  static trosk::QuietFrontend quiet;
  static trosk::RunContext rc(quiet);
  rc.output.tofile = false;
  return rc;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  std::string copy = text;
  LogTable table;
  if (readlogtable(context(), copy.data(), kReadEntries | kReadIndex, table) != 1) return 0;
  XmlTree root(xmlparsetext(context(), text.data()));
  if (!root || !root->name || root->namelen <= 0) std::abort();  // read what a tree cannot
  for (const LogEntry& entry : table.entries) {
    if (!(entry.kind & (kLogFile | kLogFilePrefix))) continue;
    std::string name(table.text(entry.name, entry.namelength));
    const NameIndex::Named* filed = table.findfile(name.c_str());
    XmlNode* node = findfilenode(context(), root.get(), name.c_str());
    if (!filed != !node) std::abort();
  }
  return 0;
}
