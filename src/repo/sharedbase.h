// What a working directory last shared with each host version it has held.
// The local log names the version it holds and that version's subversion;
// for the other versions the directory held before, its "shared" element
// keeps the subversion it held last ("V/S", blank-separated), so that a
// comparison with one of them starts from what both sides had then, not
// from another version's entries.
#pragma once

#include <string>

#include "xml/xmlnode.h"

namespace trosk {

struct RunContext;

inline constexpr int kSharedVersionsKept = 32;

// The subversion `log` records as shared with `version`: the log's own when
// it names that version, else its record; 0 when there is none.
int sharedsubversion(XmlNode* log, int version);

// Before `log` names version `to`: the version it names now, at the
// subversion it names, becomes a record, and the record of `to` goes (the
// log itself tells it). The most recent records are kept.
void switchshared(XmlNode* log, int to);

// Before the host log `log` of version `to` is kept as the local log: the
// records of the local log file at `path` (when there is one) go with it,
// and the version that file named becomes one.
void carryshared(RunContext& rc, const char* path, XmlNode* log, int to);

}  // namespace trosk
