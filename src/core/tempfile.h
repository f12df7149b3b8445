// A file that only lives as long as the step that made it: the guard removes
// it however the step ends (an error unwinding included), unless the step
// kept it by releasing the guard.
#pragma once

#include <string>

namespace trosk {

struct TempFile {
  TempFile() = default;
  explicit TempFile(std::string p) : path(std::move(p)) {}
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  // The file has been moved into place or is wanted: it is not removed.
  void release() { path.clear(); }

  std::string path;  // empty: nothing to remove
};

}  // namespace trosk
