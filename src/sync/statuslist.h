// The status listing: one line per file that differs from the host (or per
// file, with -status 1), under a heading printed before the first line, and
// the closing total.
#pragma once

#include "repo/filestats.h"

namespace trosk {

inline constexpr int kLabelModified = 0, kLabelMissing = 1, kLabelUnchanged = 2, kLabelOld = 3,
                     kLabelNewer = 4;
extern const char* const kStatusLabels[];  // "Modified" ... "Newer"

struct StatusList {
  // Lists one file: host record R, local file L (when it exists) and their
  // comparison bits. Returns 1 when a line was printed.
  int add(const char* name, const FileStats& R, const FileStats& L, bool exists, int hostbits,
          bool all);
  bool headed = false;
};

// " All files up-to-date (%s).\n", " Lots of files to update ..." (more
// than `maxfiles`, when that is not 0) or " Total of %d files to
// update.\n". Returns 0.
int printtotals(const char* project, int toupdate, int maxfiles);

}  // namespace trosk
