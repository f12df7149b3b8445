#include "sync/backup.h"

#include <sys/stat.h>

#include <memory>

#include "core/atomicfile.h"
#include "core/blockcopy.h"
#include "core/fileprobe.h"
#include "sync/pathsafety.h"

namespace trosk {
namespace {

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};

}  // namespace

int backupfile(const char* relpath, std::string* stored) {
  std::string target = std::string(kBackupDir) + "/" + relpath;
  if (!linkfree(target)) return -2;
  std::unique_ptr<FILE, FileCloser> in(std::fopen(relpath, "rb"));
  if (!in) return -1;
  if (makeparents(target.c_str(), 0775) != 0) return -2;
  if (!linkfree(target)) return -2;

  struct stat st;
  int mode = fstat(fileno(in.get()), &st) == 0 ? static_cast<int>(st.st_mode & 0777) : -1;
  AtomicFile copy(target.c_str(), mode);
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
