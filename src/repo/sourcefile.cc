#include "repo/sourcefile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "core/timer.h"

namespace trosk {
namespace {

// Reads the whole of a regular file of about `size` bytes into `bytes`.
// False when it cannot be read or turns out larger than kKeptBytes. A read
// of a regular file that returns less than asked for has met the end.
bool readwhole(int fd, std::size_t size, std::string& bytes) {
  bytes.resize(size + 1);  // a byte more than expected tells where the end is
  std::size_t got = 0;
  for (;;) {
    if (got == bytes.size()) {
      if (bytes.size() > kKeptBytes) return false;
      bytes.resize(2 * bytes.size());
    }
    ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    got += static_cast<std::size_t>(n);
    if (got < bytes.size()) break;
  }
  bytes.resize(got);
  return got <= kKeptBytes;
}

}  // namespace

int readsource(const char* path, SourceFile& file) {
  file.whole = false;
  file.executable = false;
  file.bytes.clear();
  int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  struct stat st;
  bool kept = fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
              static_cast<uint64_t>(st.st_size) <= kKeptBytes &&
              readwhole(fd, static_cast<std::size_t>(st.st_size), file.bytes);
  if (fd >= 0) ::close(fd);
  if (!kept) {
    // What cannot be held, or read, is measured as it is read again.
    file.bytes.clear();
    return filecheck(path, &file.stats, 0);
  }
  int32_t start = timerread();
  int kind = bytestats(file.bytes, &file.stats);
  setstamp(st.st_mtime, &file.stats);
  if (kind == kFileEmpty) kind = kFileExistsEmpty;
  file.whole = true;
  file.executable = (st.st_mode & 0111) != 0;
  timerlog(kTimeFilecheck, start, "filecheck");
  return kind;
}

}  // namespace trosk
