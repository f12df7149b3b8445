// Temporary files: a guard that removes one however the step that made it
// ends (an error unwinding included), unless the step kept it; and the mark
// that every temporary file of Trosk carries in its name, with the process
// that made it, so that one left by a killed run is recognised and removed.
#pragma once

#include <string>
#include <string_view>

namespace trosk {

struct TempFile {
  TempFile() = default;
  explicit TempFile(std::string p) : path(std::move(p)) {}
  ~TempFile();
  TempFile(TempFile&& other) noexcept : path(std::move(other.path)) { other.path.clear(); }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  // Removes the file this guard held, then takes the other's.
  TempFile& operator=(TempFile&& other) noexcept;

  // The file has been moved into place or is wanted: it is not removed.
  void release() { path.clear(); }

  std::string path;  // empty: nothing to remove
};

// ".trosk-<pid>-": the mark a temporary name of this process carries.
std::string tempmark();
// The process that made a temporary file of this name, or -1 when the name
// carries no mark.
long tempowner(std::string_view name);
// Removes the marked files directly in `dir` whose maker is no longer
// running, or every marked file with `all` (a writer holding the host lock
// knows that no other writer is at work). Returns the files removed.
int removetemps(const std::string& dir, bool all);

}  // namespace trosk
