#include "sync/localstat.h"

#include <fcntl.h>
#include <sys/stat.h>

#include "repo/sourcefile.h"

namespace trosk {

int quickstats(const char* path, FileStats* stats) { return quickstatsat(AT_FDCWD, path, stats); }

int quickstatsat(int dirfd, const char* name, FileStats* stats) {
  *stats = FileStats{};
  struct stat st;
  if (::fstatat(dirfd, name, &st, 0) != 0 || !S_ISREG(st.st_mode)) return 0;
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
