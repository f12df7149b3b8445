// Moving one file between the host and the working directory. A download
// lands in a temporary file beside its target, is measured against what the
// host log records, and only then replaces the local file (backed up first
// on request). An upload stores the file under a new name on the host.
#pragma once

#include <string>

#include "net/fetch.h"
#include "repo/filestats.h"

namespace trosk {

inline constexpr int kMaxFiles = 400;  // transfers in one run of a project

struct Download {
  const Remote* remote = nullptr;
  const char* hostpath = nullptr;  // below the host root
  const char* name = nullptr;      // relative path in the working directory
  FileStats expected;              // the host entry's recorded values
  bool diff = false;               // show the differences and ask `question` again
  bool backup = false;             // back up the file that is replaced
  const char* question = nullptr;
  FileStats* arrived = nullptr;  // receives the new file's measurement
};

// Fetches the file. Returns 1 when the local file was replaced, 0 when it was
// kept (refused after the differences, the arrival did not match the host
// log, a symbolic link on the way, the backup failed). A fetch that fails
// ends the run ("download unsuccessful").
int downloadfile(const Download& job);

// Copies the local file `name` into `destdir` under the first free name
// (base name, ".vtp" when `vtp`, then "_v<N><suffix>"), VTP-encoded when
// `vtp`. `source` receives the stored name relative to `destdir`. Returns 1,
// or 0 when the copy failed (reported; the file is skipped).
int uploadfile(const char* name, const std::string& destdir, bool vtp, const char* suffix,
               std::string* source);

// Fetches the host copy to "troskdiff.tmp", shows the differences with the
// local file and asks `question` again; the temporary file is removed.
// Returns 1 when the answer means yes, 0 when no.
int diffbeforeupload(const Remote& remote, const char* hostpath, const char* name,
                     const char* question);

}  // namespace trosk
