#include "sync/backup.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <vector>

#include "repo/copyfile.h"
#include "sync/pathsafety.h"

namespace trosk {
namespace {

constexpr std::size_t kCopyBlock = std::size_t{1} << 16;

struct Fd {
  int fd;
  ~Fd() {
    if (fd >= 0) close(fd);
  }
};

// Copies the whole of `in` to `out`. Returns 0, -1 on a read failure, -2 on
// a write failure.
int copyfd(int in, int out) {
  std::vector<char> block(kCopyBlock);
  for (;;) {
    ssize_t n = read(in, block.data(), block.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) return 0;
    for (ssize_t done = 0; done < n;) {
      ssize_t w = write(out, block.data() + done, static_cast<std::size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) return -2;
      done += w;
    }
  }
}

// Gives the complete temporary file the name `candidate` unless that name is
// taken. Returns 1 when claimed, 0 when taken, -2 on another failure.
int claim(const std::string& temp, const std::string& candidate) {
  if (link(temp.c_str(), candidate.c_str()) == 0) return 1;
  if (errno == EEXIST) return 0;
  if (errno != EPERM && errno != ENOSYS && errno != EOPNOTSUPP) return -2;
  // No hard links here: reserve the name by creating it exclusively, then
  // move the complete copy over the reservation.
  int fd = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
  if (fd < 0) return errno == EEXIST ? 0 : -2;
  close(fd);
  if (std::rename(temp.c_str(), candidate.c_str()) != 0) {
    unlink(candidate.c_str());
    return -2;
  }
  return 1;
}

}  // namespace

int backupfile(const char* relpath, std::string* stored) {
  std::string target = std::string(kBackupDir) + "/" + relpath;
  if (!linkfree(target)) return -2;
  Fd in{open(relpath, O_RDONLY)};
  if (in.fd < 0) return -1;
  if (makeparents(target.c_str(), 0775) != 0) return -2;
  if (!linkfree(target)) return -2;

  std::string temp = target.substr(0, target.rfind('/') + 1) + ".trosk_bkup_XXXXXX";
  Fd out{mkstemp(temp.data())};
  if (out.fd < 0) return -2;
  struct stat st;
  if (fstat(in.fd, &st) == 0) fchmod(out.fd, st.st_mode & 0777);
  int copied = copyfd(in.fd, out.fd);
  int closed = close(out.fd);
  out.fd = -1;
  int result = copied != 0 ? copied : (closed != 0 ? -2 : 0);
  if (result == 0) {
    result = -2;
    for (int n = 0; n <= kMaxBackupNames; ++n) {
      std::string candidate = n == 0 ? target : target + "." + std::to_string(n);
      int c = claim(temp, candidate);
      if (c == 0) continue;
      if (c == 1) {
        result = 0;
        if (stored) *stored = candidate;
      }
      break;
    }
  }
  unlink(temp.c_str());
  return result;
}

}  // namespace trosk
