#include "sync/localstat.h"

#include <sys/stat.h>

#include <ctime>

namespace trosk {

int quickstats(const char* path, FileStats* stats) {
  *stats = FileStats{};
  struct stat st;
  if (::stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return 0;
  stats->size = static_cast<int32_t>(st.st_size);
  std::time_t when = st.st_mtime;
  std::tm local{};
  if (localtime_r(&when, &local)) {
    // The same stamp as the file statistics record: YYYYMMDD and HHMMSS.
    int year = local.tm_year < 1000 ? local.tm_year + 1900 : local.tm_year;
    stats->date = year * 10000 + (local.tm_mon + 1) * 100 + local.tm_mday;
    stats->time = local.tm_hour * 10000 + local.tm_min * 100 + local.tm_sec;
  }
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
