#include "sync/localstat.h"

#include <sys/stat.h>


namespace trosk {

int quickstats(const char* path, FileStats* stats) {
  *stats = FileStats{};
  struct stat st;
  if (::stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return 0;
  stats->size = st.st_size;
  setstamp(st.st_mtime, stats);
  return 1;
}

int fullstats(const char* path, FileStats* stats) {
  struct stat st;
  if (::stat(path, &st) != 0 || !S_ISREG(st.st_mode)) {
    *stats = FileStats{};
    return -1;
  }
  int kind = filecheck(path, stats, 0);
  if (stats->parity == -1 && stats->size == 0) {  // vanished or unreadable meanwhile
    *stats = FileStats{};
    return -1;
  }
  return kind;
}

}  // namespace trosk
