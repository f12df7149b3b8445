// Replacing a file safely: the new content is written to a temporary file
// beside the target and renamed over it only when complete, so a crash or a
// full disk never leaves a half-written file in its place.
#pragma once

#include <cstdio>
#include <string>

namespace trosk {

struct AtomicFile {
  // Opens a temporary file beside `target` for writing ("wb"). On failure
  // stream() is null.
  explicit AtomicFile(const char* target);
  // Removes the temporary file unless commit() succeeded.
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  FILE* stream() const { return stream_; }
  // Flushes and syncs the file (when `sync`), then renames it over the
  // target. Returns 0, or -2 when any write, the sync or the rename failed.
  int commit(bool sync = false);
  // Like commit, but never replaces an existing file: 0 when the file took
  // the name `target`, 1 when that name is taken (the file is kept for
  // another name), -2 on failure.
  int commitnew(const std::string& target, bool sync = false);

 private:
  // Flushes, syncs (when `sync`) and closes the file, once. 0 or -2.
  int finish(bool sync);

  std::string target_;
  std::string temp_;
  FILE* stream_ = nullptr;
  bool committed_ = false;
  bool finished_ = false;
  bool written_ = false;  // every write, the sync and the close succeeded
};

}  // namespace trosk
