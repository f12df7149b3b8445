// Replacing a file safely: the new content is written to a temporary file
// beside the target and takes the target's name only when complete, so a
// crash or a full disk never leaves a half-written file in its place. The
// same file can instead claim the first free one of several names.
#pragma once

#include <cstdio>
#include <string>

#include "core/tempfile.h"

namespace trosk {

// The permission bits a new file gets (0666, or 0777 when `executable`,
// less the process's file mode mask).
int newfilemode(bool executable);

struct RunContext;

struct AtomicFile {
  // Opens a temporary file beside `target` for writing ("wb"), with the
  // usual mode for new files, or `mode` when it is not negative. On failure
  // stream() is null.
  AtomicFile(RunContext& rc, const char* target, int mode = -1);
  // Removes the temporary file unless it took a name.
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  FILE* stream() const { return stream_; }
  // Flushes and syncs the file (when `sync`), then renames it over the
  // target and (when `sync`) syncs the directory, so that a power cut leaves
  // the old file or the new one. Returns 0, or -2 when any write, the sync
  // or the rename failed (the run's cause says why).
  int commit(bool sync = false);
  // Like commit, but never replaces an existing file: 0 when the file took
  // the name `target`, 1 when that name is taken (the file is kept for
  // another name), -2 on failure. Two writers never get the same name.
  int commitnew(const std::string& target, bool sync = false);
  // Flushes and syncs the file, once: 0, or -2 when a write failed.
  int sync() { return finish(true); }
  // Gives the synced file the further name `other` as well (a hard link),
  // before commit gives it its own: two names, one write. Returns 0, or 1
  // when the file system cannot link it there or `other` exists (the
  // caller writes `other` itself).
  int alsoname(const std::string& other);
  // Where the file is written until it takes its name.
  const std::string& temppath() const { return temp_.path; }

 private:
  // Flushes, syncs (when `sync`) and closes the file, once. 0 or -2.
  int finish(bool sync);

  RunContext& rc_;
  std::string target_;
  TempFile temp_;
  FILE* stream_ = nullptr;
  bool finished_ = false;
  bool written_ = false;  // every write, the sync and the close succeeded
};

}  // namespace trosk
