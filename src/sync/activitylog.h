// The project's activity log in the working directory ("trosk_%s_log.txt"):
// one heading per transferring run, then the names of the files moved, eight
// to a line, written when the run's transfers are complete; and
// "troskversion.txt", the version the directory was last brought to. Each
// is replaced in one step, so a killed run records nothing it did not finish.
#pragma once

#include <string>

#include "core/tempfile.h"

namespace trosk {

struct RunContext;

inline constexpr int kNamesPerLine = 8;

struct ActivityLog {
  // Names the run whose transfers are recorded and its user. Returns 0.
  int begin(const char* project, const std::string& user, int version, int subversion,
            bool upload);
  // Records one transferred file. Returns the names recorded so far.
  int note(const RunContext& rc, const char* name);
  // Appends what was recorded to the activity log, when anything was
  // transferred. A log that cannot be written is skipped silently. Returns 0.
  int close(RunContext& rc);

  std::string project;
  std::string user;
  int version = 0;
  int subversion = 0;
  bool upload = false;
  std::string lines;  // what this run adds to the log
  int names = 0;
};

// Rewrites "troskversion.txt" with "V/S". Returns 0, or -2 when it cannot be
// written.
int writeversionstamp(RunContext& rc, int version, int subversion);

// The stamp names only a version the directory reached, so it is written
// after the files, and a run killed before it would leave the stamp behind
// for good: a mark made before a transfer's first file moves tells the next
// run to write it although that run moves nothing itself.
bool transfermarked(const char* project);
// A guard that removes the mark when it goes (a killed run leaves it); with
// `make` the mark is made first. Its path is empty when it cannot be made.
TempFile transfermark(const char* project, bool make);

}  // namespace trosk
