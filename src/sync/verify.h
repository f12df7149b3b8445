// The file-by-file comparison of a host project log with the working
// directory and its local log: refresh the local log (verify), list the
// status, or bring files down from or up to the host, asking before it
// overwrites; then the logs are written back.
#pragma once

#include <cstdint>

#include "config/project.h"
#include "net/fetch.h"
#include "repo/hostpaths.h"
#include "xml/xmlnode.h"

namespace trosk {

// Compares every "file" (or, with CMD_ZIP, "archive") entry of the `remote`
// log (its "trosk" element) with the working directory and the `local` log
// element, for version V/S of the project at `paths` and the command `flags`.
// Files are read from `host` when given, else from the entry's host (host2
// when status bit 0x20 is set); uploads always write the entry's host.
// Returns the number of files to update or transferred for a transfer, the
// number of entries rewritten for a verify call, 0 for a status call.
int verify(ProjectEntry& entry, const HostPaths& paths, int version, int subversion,
           XmlNode* remote, XmlNode* local, int flags, const char* localname,
           const Remote* host = nullptr);

}  // namespace trosk
