#include "repo/copyfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "core/atomicfile.h"
#include "core/cause.h"
#include "core/blockcopy.h"
#include "core/fileprobe.h"
#include "core/runcontext.h"
#include "core/timer.h"
#include "core/vtp.h"

namespace trosk {
namespace {

constexpr int kMaxStoredVersions = 1000000;
constexpr int kHostDirMode = 0775;

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

// Copies (or encodes) the whole of `in` onto `out`, looking at the cancel
// request between blocks: the bytes written, -1 when reading failed, -2
// when writing failed, kCopyCancelled.
long long transfer(RunContext& rc, FILE* in, FILE* out, int flags) {
  long long n;
  if (flags & kCopyVtp) {
    n = vtpencode(in, out, &rc);
    if (n < 0 && !rc.cancelled()) n = std::ferror(out) ? -2 : -1;
  } else {
    n = readblocks(in, [out, &rc](const char* data, std::size_t size) {
      return !rc.cancelled() && std::fwrite(data, 1, size, out) == size;
    });
  }
  return n < 0 && rc.cancelled() ? kCopyCancelled : n;
}

// Records why writing `dest` failed (a failed read is the source's own).
long long failed(RunContext& rc, long long result, const std::string& dest) {
  if (result == -2) setcause(rc, "cannot write %s: %s", dest.c_str(), std::strerror(errno));
  return result;
}

// Writes beside `dest` and renames over it; with `sync` the file is on disk
// before it takes the name.
long long replace(RunContext& rc, FILE* in, const std::string& dest, int flags, bool sync) {
  AtomicFile out(rc, dest.c_str());
  if (!out.stream()) return failed(rc, -2, dest);
  long long n = transfer(rc, in, out.stream(), flags);
  if (n < 0) return failed(rc, n, dest);
  return out.commit(sync) == 0 ? n : -2;
}

// Gives the complete file `out` the first free "<dest>_v<N><suffix>".
// Returns 0, or -2.
int claimname(AtomicFile& out, const char* dest, const char* suffix, std::string* stored,
              StoredNames& names) {
  int& next = names.next[std::string(dest) + '\n' + (suffix ? suffix : "")];
  for (int v = std::max(next, 1); v <= kMaxStoredVersions; ++v) {
    std::string name = std::string(dest) + "_v" + std::to_string(v) + (suffix ? suffix : "");
    int taken = out.commitnew(name);
    if (taken < 0) return -2;
    if (taken == 0) {
      next = v + 1;
      if (stored) *stored = name;
      return 0;
    }
  }
  return -2;
}

// The content goes into a temporary file beside the destination, which then
// takes the first free "<dest>_v<N><suffix>" by an exclusive rename: two
// writers never get the same name, and a stored name never holds a part.
// Stored copies are not synced one by one (thousands of flushes would
// dominate a large add): the caller flushes the store once with syncstore
// before it writes the log that names them.
long long storeunique(RunContext& rc, FILE* in, const char* dest, int flags, const char* suffix,
                      std::string* stored, StoredNames& names) {
  // The stored copy is executable when the source is, so that a download of
  // a new file can give an executable script its mode back; it stays
  // readable by everyone the usual mode allows (a web server among them).
  struct stat st;
  bool executable = fstat(fileno(in), &st) == 0 && (st.st_mode & 0111);
  AtomicFile out(rc, dest, executable ? newfilemode(true) : -1);
  if (!out.stream()) return failed(rc, -2, dest);
  long long n = transfer(rc, in, out.stream(), flags);
  if (n < 0) return failed(rc, n, dest);
  return claimname(out, dest, suffix, stored, names) == 0 ? n : -2;
}

// Makes the missing parents of `dest`, once for each directory a writer
// stores into.
int parentsof(RunContext& rc, const char* dest, StoredNames& names) {
  std::string dir(dest, std::string_view(dest).rfind('/') + 1);
  if (names.dirs.count(dir)) return 0;
  if (makeparents(dest, kHostDirMode) < 0) {
    setcause(rc, "cannot make the directories of %s: %s", dest, std::strerror(errno));
    return -1;
  }
  names.dirs.insert(std::move(dir));
  return 0;
}

constexpr long long kNoUnnamedFile = -3;

// Writes `text` into an unnamed file in the destination's directory and
// links it to the first free "<dest>_v<N><suffix>": one name made for the
// copy, never a name that holds a part, and a writer killed on the way
// leaves nothing. kNoUnnamedFile when the file system makes no unnamed
// files, or /proc is not there to link one by; else the bytes, or -2.
long long storeunnamed(RunContext& rc, std::string_view text, const char* dest, int mode,
                       const char* suffix, std::string* stored, StoredNames& names) {
  std::string_view path(dest);
  std::string dir(path.substr(0, path.rfind('/') + 1));
  int fd = ::open(dir.empty() ? "." : dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC,
                  static_cast<mode_t>(mode));
  if (fd < 0) return errno == EISDIR || errno == EOPNOTSUPP || errno == EINVAL ? kNoUnnamedFile : failed(rc, -2, dest);
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  for (std::size_t done = 0; done < text.size();) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return failed(rc, -2, dest);
    done += static_cast<std::size_t>(n);
  }
  std::string self = "/proc/self/fd/" + std::to_string(fd);
  int& next = names.next[std::string(dest) + '\n' + (suffix ? suffix : "")];
  for (int v = std::max(next, 1); v <= kMaxStoredVersions; ++v) {
    std::string name = std::string(dest) + "_v" + std::to_string(v) + (suffix ? suffix : "");
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      next = v + 1;
      if (stored) *stored = name;
      return static_cast<long long>(text.size());
    }
    if (errno == ENOENT && v == std::max(next, 1) && ::access(self.c_str(), F_OK) != 0)
      return kNoUnnamedFile;
    if (errno != EEXIST) return failed(rc, -2, name);
  }
  return failed(rc, -2, dest);
}

}  // namespace

long long copyfile(RunContext& rc, const char* source, const char* dest, int flags,
                   const char* suffix, std::string* stored, StoredNames* names) {
  int32_t start = timerread(rc);
  clearcause(rc);
  StoredNames once;
  if (!names) names = &once;
  long long result;
  File in(std::fopen(source, "rb"));
  if (!in) {
    setcause(rc, "cannot read %s: %s", source, std::strerror(errno));
    result = -1;
  } else if (parentsof(rc, dest, *names) < 0) {
    result = -2;
  } else if (flags & kCopyUnique) {
    result = storeunique(rc, in.get(), dest, flags, suffix, stored, *names);
  } else {
    result = replace(rc, in.get(), dest, flags, true);
    if (result >= 0 && stored) *stored = dest;
  }
  timerlog(rc, kTimeCopyfile, start, "copyfile");
  return result;
}

long long storebytes(RunContext& rc, std::string_view bytes, const char* dest, int flags,
                     bool executable, const char* suffix, std::string* stored,
                     StoredNames* names) {
  int32_t start = timerread(rc);
  clearcause(rc);
  StoredNames once;
  if (!names) names = &once;
  long long result = -2;
  if (parentsof(rc, dest, *names) == 0) {
    std::string armour = (flags & kCopyVtp) ? vtpencodestring(bytes) : std::string();
    std::string_view text = (flags & kCopyVtp) ? std::string_view(armour) : bytes;
    result = storeunnamed(rc, text, dest, newfilemode(executable), suffix, stored, *names);
    if (result != kNoUnnamedFile) {
      timerlog(rc, kTimeCopyfile, start, "copyfile");
      return result;
    }
    result = -2;
    AtomicFile out(rc, dest, executable ? newfilemode(true) : -1);
    // Written at once, without the stream's buffer (and the file status
    // call that makes it).
    if (out.stream() && std::setvbuf(out.stream(), nullptr, _IONBF, 0) == 0 &&
        std::fwrite(text.data(), 1, text.size(), out.stream()) == text.size() &&
        claimname(out, dest, suffix, stored, *names) == 0) {
      result = static_cast<long long>(text.size());
    } else if (rc.cause.empty()) {
      failed(rc, -2, dest);
    }
  }
  timerlog(rc, kTimeCopyfile, start, "copyfile");
  return result;
}

int syncstore(RunContext& rc, const char* path) {
  int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -2;
  int result = ::syncfs(fd) == 0 ? 0 : -2;
  if (result < 0) setcause(rc, "cannot flush %s to disk: %s", path, std::strerror(errno));
  ::close(fd);
  return result;
}

}  // namespace trosk
