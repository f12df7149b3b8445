#include "core/atomicfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/cause.h"
#include "core/runcontext.h"

namespace trosk {
namespace {

// Gives `from` the name `to` unless that name exists. 0 done, 1 taken, -2
// failed. File systems without an exclusive rename get a hard link, and
// those without links a reservation made by an exclusive create.
int renamenew(const std::string& from, const std::string& to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno == EEXIST) return 1;
  if (errno != EINVAL && errno != ENOSYS) return -2;
  if (::link(from.c_str(), to.c_str()) == 0) {
    ::unlink(from.c_str());
    return 0;
  }
  if (errno == EEXIST) return 1;
  if (errno != EPERM && errno != ENOSYS && errno != EOPNOTSUPP) return -2;
  int fd = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
  if (fd < 0) return errno == EEXIST ? 1 : -2;
  ::close(fd);
  if (std::rename(from.c_str(), to.c_str()) == 0) return 0;
  ::unlink(to.c_str());
  return -2;
}

// Makes a rename in the directory of `path` durable.
void syncdirof(const std::string& path) {
  std::size_t slash = path.rfind('/');
  std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

int newfilemode(bool executable) {
  // The mask is read once: reading it means setting it, and Trosk never
  // changes it.
  static const mode_t mask = [] {
    mode_t m = umask(0);
    umask(m);
    return m;
  }();
  return static_cast<int>((executable ? 0777 : 0666) & ~mask);
}

AtomicFile::AtomicFile(RunContext& rc, const char* target, int mode) : rc_(rc), target_(target) {
  std::string temp = target_ + tempmark() + "XXXXXX";
  int fd = mkstemp(temp.data());
  if (fd < 0) return;  // errno tells the caller why
  temp_.path = temp;
  // mkstemp makes the file private; a replaced file gets the usual mode.
  if (mode < 0) mode = newfilemode(false);
  fchmod(fd, static_cast<mode_t>(mode));
  stream_ = fdopen(fd, "wb");
  if (!stream_) close(fd);
}

AtomicFile::~AtomicFile() {
  if (stream_) std::fclose(stream_);
}

int AtomicFile::finish(bool sync) {
  if (!finished_ && stream_) {
    errno = 0;
    bool ok = std::fflush(stream_) == 0 && !std::ferror(stream_);
    if (ok && sync) ok = fsync(fileno(stream_)) == 0;
    written_ = std::fclose(stream_) == 0 && ok;
    if (!written_) {
      setcause(rc_, "cannot write %s: %s", target_.c_str(),
               errno ? std::strerror(errno) : "the write failed");
    }
    stream_ = nullptr;
    finished_ = true;
  }
  return written_ ? 0 : -2;
}

int AtomicFile::commit(bool sync) {
  if (finish(sync) < 0) return -2;
  if (std::rename(temp_.path.c_str(), target_.c_str()) != 0) {
    setcause(rc_, "cannot replace %s: %s", target_.c_str(), std::strerror(errno));
    return -2;
  }
  temp_.release();
  if (sync) syncdirof(target_);
  return 0;
}

int AtomicFile::commitnew(const std::string& target, bool sync) {
  if (finish(sync) < 0) return -2;
  int taken = renamenew(temp_.path, target);
  if (taken == 0) temp_.release();
  if (taken == 0 && sync) syncdirof(target);
  return taken;
}

int AtomicFile::alsoname(const std::string& other) {
  return ::link(temp_.path.c_str(), other.c_str()) == 0 ? 0 : 1;
}

}  // namespace trosk
