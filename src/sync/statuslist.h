// The status listing: one line per file that differs from the host (or per
// file, with -status 1), under a heading printed before the first line, and
// the closing total.
#pragma once

#include "repo/filestats.h"

namespace trosk {

struct RunContext;

inline constexpr int kLabelModified = 0, kLabelMissing = 1, kLabelUnchanged = 2, kLabelOld = 3,
                     kLabelNewer = 4;
extern const char* const kStatusLabels[];  // "Modified" ... "Newer"

// The label of a file (kLabel...) from its host comparison bits.
int statuslabel(bool exists, int hostbits);

struct StatusList {
  // Lists one file: host record R, local file L (when it exists) and their
  // comparison bits. Returns 1 when a line was printed.
  int add(RunContext& rc, const char* name, const FileStats& R, const FileStats& L, bool exists,
          int hostbits, bool all);
  bool headed = false;
};

// " All files up-to-date (%s).\n", " Lots of files to update ..." (more
// than `maxfiles`, when that is not 0) or " Total of %d files to
// update.\n". Returns 0.
int printtotals(RunContext& rc, const char* project, int toupdate, int maxfiles);

}  // namespace trosk
