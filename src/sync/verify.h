// The file-by-file comparison of a host project log with the working
// directory and its local log: refresh the local log (verify), list the
// status, or bring files down from or up to the host, asking before it
// overwrites; then the logs are written back.
#pragma once

#include <cstdint>

#include "config/options.h"
#include "config/project.h"
#include "net/fetch.h"
#include "repo/hostpaths.h"
#include "repo/logtable.h"
#include "sync/logdoc.h"
#include "sync/statahead.h"
#include "xml/xmlnode.h"

namespace trosk {

// What a comparison could not do.
struct Outcome {
  int notUpdated = 0;  // files it decided to transfer and could not
};

// Compares every "file" (or, with CMD_ZIP, "archive") entry of the `remote`
// log (its "trosk" element) with the working directory and the `local` log
// element, for version V/S of the project at `paths` and the command `flags`.
// Files are read from `host` when given, else from the entry's host (host2
// when status bit 0x20 is set); uploads always write the entry's host.
// Returns the number of files to update or transferred for a transfer, the
// number of entries rewritten for a verify call, 0 for a status call.
// An upload (`base`: the host log of the version the working directory has,
// or null) sends only what changed here, never a file that only changed on
// the host. `outcome` (may be null) receives what could not be done. At
// most `maxfiles` files are transferred (0: no limit).
int verify(ProjectEntry& entry, const HostPaths& paths, int version, int subversion,
           XmlNode* remote, XmlNode* local, int flags, const char* localname,
           const Remote* host = nullptr, const LogDoc* base = nullptr, Outcome* outcome = nullptr,
           int maxfiles = kMaxFiles);

// A status run (CMD_STATUS without CMD_DOWNLOAD or CMD_VERIFY) over logs
// read as tables (the entries of `remote`, the index of `local`): prints
// and returns what verify prints and returns for the trees of the same texts.
// `ahead` (may be null) holds measurements of the files of `local`.
int verifystatus(ProjectEntry& entry, const HostPaths& paths, int version, int subversion,
                 const LogTable& remote, const LogTable& local, int flags, const char* localname,
                 StatAhead* ahead, int maxfiles = kMaxFiles);

// True when the command uploads: a source project with CMD_UPLOAD.
inline bool isupload(const ProjectEntry& entry, int flags) {
  return (entry.status & 3) == 3 && (flags & CMD_UPLOAD);
}

}  // namespace trosk
