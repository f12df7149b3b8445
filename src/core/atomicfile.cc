#include "core/atomicfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace trosk {

AtomicFile::AtomicFile(const char* target) : target_(target) {
  temp_ = target_ + ".tmpXXXXXX";
  int fd = mkstemp(temp_.data());
  if (fd < 0) {
    temp_.clear();
    return;
  }
  // mkstemp makes the file private; a replaced file gets the usual mode.
  mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  stream_ = fdopen(fd, "wb");
  if (!stream_) close(fd);
}

AtomicFile::~AtomicFile() {
  if (stream_) std::fclose(stream_);
  if (!committed_ && !temp_.empty()) unlink(temp_.c_str());
}

int AtomicFile::finish(bool sync) {
  if (!finished_ && stream_) {
    bool ok = std::fflush(stream_) == 0 && !std::ferror(stream_);
    if (ok && sync) ok = fsync(fileno(stream_)) == 0;
    written_ = std::fclose(stream_) == 0 && ok;
    stream_ = nullptr;
    finished_ = true;
  }
  return written_ ? 0 : -2;
}

int AtomicFile::commit(bool sync) {
  if (finish(sync) < 0) return -2;
  committed_ = std::rename(temp_.c_str(), target_.c_str()) == 0;
  return committed_ ? 0 : -2;
}

int AtomicFile::commitnew(const std::string& target, bool sync) {
  if (finish(sync) < 0) return -2;
  if (renameat2(AT_FDCWD, temp_.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
    committed_ = true;
    return 0;
  }
  if (errno == EEXIST) return 1;
  if (errno != EINVAL && errno != ENOSYS) return -2;
  // A file system without exclusive rename: a hard link is just as exclusive.
  if (link(temp_.c_str(), target.c_str()) != 0) return errno == EEXIST ? 1 : -2;
  unlink(temp_.c_str());
  committed_ = true;
  return 0;
}

}  // namespace trosk
