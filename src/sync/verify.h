// The file-by-file comparison of a host project log with the working
// directory and its local log: refresh the local log (verify), list the
// status, or bring files down from or up to the host, asking before it
// overwrites; then the logs are written back. Each file looked at, and what
// became of it, is told to the front end as well as printed; a run asked to
// stop finishes the file in hand, records what moved and ends cancelled.
#pragma once

#include "config/options.h"
#include "config/project.h"
#include "net/fetch.h"
#include "repo/hostpaths.h"
#include "repo/logtable.h"
#include "sync/logdoc.h"
#include "sync/statahead.h"
#include "xml/xmlnode.h"

namespace trosk {

struct RunContext;

// What to compare: the host log of version V/S of the project at `paths`
// (its "trosk" element as a tree, or its entries as a table) with the local
// log (a tree, or for a status run an index), for the command `flags`.
struct CompareRequest {
  ProjectRun* project = nullptr;
  const HostPaths* paths = nullptr;
  int version = 0;
  int subversion = 0;
  int flags = 0;
  XmlNode* remote = nullptr;  // the logs as trees ...
  XmlNode* local = nullptr;
  // ... or as tables: a status run's, or tables read with kReadEdit, whose
  // trees (above) are rewritten.
  const LogTable* remotetable = nullptr;
  const LogTable* localtable = nullptr;
  const char* localname = nullptr;  // the local log's file name
  // Files are read from `host` when given, else from the project's host;
  // uploads always write the project's host root.
  const Remote* host = nullptr;
  // An upload's host log of what the working directory last shared with
  // this version, or null: an upload sends only what changed here, never a
  // file that only changed on the host.
  const LogDoc* base = nullptr;
  // The local log's entries tell what the working directory shared with
  // this version (the log names it); else they are of another version.
  bool localbase = true;
  StatAhead* ahead = nullptr;  // measurements of the local table's files, or null
  int maxfiles = kMaxFiles;    // transfers at most (0: no limit)
  const char* user = "";       // who the activity log names
  const char* comment = nullptr;  // an upload's version-log comment; null: asked
  // What a front end asks of a status beyond the listing: the files of the
  // working directory the host's log does not name, reported as "New"; or
  // only the file `diffonly` compared, with its line differences shown
  // (null or empty: every file).
  bool reportnew = false;
  const char* diffonly = nullptr;
};

// What a comparison could not do.
struct Outcome {
  int notUpdated = 0;  // files it decided to transfer and could not
};

// Compares every "file" (or, with CMD_ZIP, "archive") entry of the host log
// with the working directory. An upload asks for its version-log comment
// just before it stores its first file; a run cancelled at that question
// stores nothing. Returns the number of files to update or
// transferred for a transfer, the number of entries rewritten for a verify
// call, 0 for a status call. A run asked to stop ends with RunError (marked
// cancelled) after it has recorded what was transferred.
int verify(RunContext& rc, const CompareRequest& request, Outcome* outcome = nullptr);

// True when the command uploads: a source project with CMD_UPLOAD.
inline bool isupload(const ProjectEntry& entry, int flags) {
  return (entry.status & 3) == 3 && (flags & CMD_UPLOAD);
}

}  // namespace trosk
