#include "sync/backup.h"

#include <sys/stat.h>

#include <cstring>
#include <memory>

#include "core/atomicfile.h"
#include "core/blockcopy.h"
#include "core/fileprobe.h"
#include "core/runcontext.h"
#include "sync/pathsafety.h"

namespace trosk {
namespace {

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};

// The backup made last: the highest of target, target.1, target.2 ...
std::string latestbackup(RunContext& rc, const std::string& target) {
  std::string latest;
  for (int n = 0; n <= kMaxBackupNames; ++n) {
    std::string candidate = n == 0 ? target : target + "." + std::to_string(n);
    if (exists(rc, candidate.c_str()) != 1) break;
    latest = candidate;
  }
  return latest;
}

// Whether `in` (read from its start, and rewound) holds the bytes of `path`.
bool samecontent(FILE* in, const std::string& path) {
  std::unique_ptr<FILE, FileCloser> other(std::fopen(path.c_str(), "rb"));
  if (!other) return false;
  char a[1 << 15], b[1 << 15];
  bool same = true;
  for (;;) {
    std::size_t n = std::fread(a, 1, sizeof a, in);
    std::size_t m = std::fread(b, 1, sizeof b, other.get());
    if (n != m || std::memcmp(a, b, n) != 0) {
      same = false;
      break;
    }
    if (n == 0) break;
  }
  same = same && !std::ferror(in) && !std::ferror(other.get());
  std::rewind(in);
  return same;
}

}  // namespace

int backupfile(RunContext& rc, const char* relpath, std::string* stored) {
  std::string target = std::string(kBackupDir) + "/" + relpath;
  if (!linkfree(target)) return -2;
  std::unique_ptr<FILE, FileCloser> in(std::fopen(relpath, "rb"));
  if (!in) return -1;
  if (makeparents(target.c_str(), 0775) != 0) return -2;
  if (!linkfree(target)) return -2;

  std::string latest = latestbackup(rc, target);
  if (!latest.empty() && samecontent(in.get(), latest)) {
    // A run killed after this backup was made is being run again.
    if (stored) *stored = latest;
    return 0;
  }
  struct stat st;
  int mode = fstat(fileno(in.get()), &st) == 0 ? static_cast<int>(st.st_mode & 0777) : -1;
  AtomicFile copy(rc, target.c_str(), mode);
  if (!copy.stream()) return -2;
  long long copied = copystream(in.get(), copy.stream());
  if (copied < 0) return static_cast<int>(copied);
  for (int n = 0; n <= kMaxBackupNames; ++n) {
    std::string candidate = n == 0 ? target : target + "." + std::to_string(n);
    int taken = copy.commitnew(candidate);
    if (taken < 0) return -2;
    if (taken == 0) {
      if (stored) *stored = candidate;
      return 0;
    }
  }
  return -2;
}

}  // namespace trosk
