#include "sync/localstat.h"

#include <sys/stat.h>

#include "repo/sourcefile.h"

namespace trosk {

int quickstats(const char* path, FileStats* stats) {
  *stats = FileStats{};
  struct stat st;
  if (::stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return 0;
  stats->size = st.st_size;
  setstamp(st.st_mtime, stats);
  return 1;
}

int fullstats(RunContext& rc, const char* path, FileStats* stats, SourceFile& scratch,
              int flags) {
  int kind = readregular(rc, path, scratch, flags);
  *stats = scratch.stats;
  return kind;
}

}  // namespace trosk
