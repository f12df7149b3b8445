// The project's activity log in the working directory ("trosk_%s_log.txt"):
// one heading per transferring run, then the names of the files moved, eight
// to a line. The first transfer also records the version in "troskversion.txt".
#pragma once

#include <cstdio>
#include <memory>

namespace trosk {

struct ActivityLog {
  // Records one transferred file, opening the log with its heading on the
  // first call. Returns the names written so far, or -1 when the log cannot
  // be opened (it is then skipped silently).
  int note(const char* project, int version, int subversion, bool upload, const char* name);
  // Ends an unfinished line and closes the log. Returns 0.
  int close();

  struct Closer {
    void operator()(FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<FILE, Closer> file;
  int lines = 0;  // names written; -1 when the log could not be opened
  bool started = false;
};

inline constexpr int kNamesPerLine = 8;

}  // namespace trosk
