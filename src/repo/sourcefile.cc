#include "repo/sourcefile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "core/runcontext.h"
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

enum class Kept { kWhole, kNotRegular, kOther };  // kOther: unopened, too large or unread

// One open, one read and, unless `known` says `st` holds it already, one
// file status call for a small regular file.
Kept readkept(const char* path, SourceFile& file, struct stat& st, bool known) {
  file.whole = false;
  file.executable = false;
  file.bytes.clear();
  int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return Kept::kOther;
  Kept kept = Kept::kOther;
  if (!known && ::fstat(fd, &st) != 0) {
    kept = Kept::kOther;
  } else if (!S_ISREG(st.st_mode)) {
    kept = Kept::kNotRegular;
  } else if (static_cast<uint64_t>(st.st_size) <= kKeptBytes &&
             readwhole(fd, static_cast<std::size_t>(st.st_size), file.bytes)) {
    kept = Kept::kWhole;
  }
  ::close(fd);
  if (kept != Kept::kWhole) file.bytes.clear();
  return kept;
}

// What filecheck makes of the bytes read.
int measurekept(RunContext& rc, SourceFile& file, const struct stat& st, int flags) {
  int32_t start = timerread(rc);
  int kind = bytestats(rc, file.bytes, &file.stats);
  if (flags & kStatsSha256) file.stats.sha256 = sha256of(file.bytes);
  setstamp(st.st_mtime, &file.stats);
  if (kind == kFileEmpty) kind = kFileExistsEmpty;
  file.whole = true;
  file.executable = (st.st_mode & 0111) != 0;
  timerlog(rc, kTimeFilecheck, start, "filecheck");
  return kind;
}

}  // namespace

int readsource(RunContext& rc, const char* path, SourceFile& file, int flags) {
  struct stat st;
  // What cannot be held, or read, is measured as it is read again.
  if (readkept(path, file, st, false) != Kept::kWhole) return filecheck(rc, path, &file.stats, flags);
  return measurekept(rc, file, st, flags);
}

int measurewritten(RunContext& rc, const char* path, SourceFile& file, int flags) {
  struct stat st;
  if (::stat(path, &st) == 0 && S_ISREG(st.st_mode) &&
      static_cast<std::size_t>(st.st_size) == file.bytes.size()) {
    return measurekept(rc, file, st, flags);
  }
  return readregular(rc, path, file, flags);
}

int readregular(RunContext& rc, const char* path, SourceFile& file, int flags) {
  // Nothing but a regular file is opened: opening a pipe or a device waits,
  // or does something.
  struct stat st;
  if (::stat(path, &st) == 0 && S_ISREG(st.st_mode)) {
    Kept kept = readkept(path, file, st, true);
    if (kept == Kept::kWhole) return measurekept(rc, file, st, flags);
    if (kept == Kept::kOther) {
      int kind = filecheck(rc, path, &file.stats, flags);
      if (file.stats.parity != -1 || file.stats.size != 0) return kind;
    }
  }
  file.stats = FileStats{};  // none, or it vanished or became unreadable meanwhile
  file.bytes.clear();
  return -1;
}

}  // namespace trosk
