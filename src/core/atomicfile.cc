#include "core/atomicfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

int AtomicFile::commit(bool sync) {
  if (!stream_) return -2;
  bool ok = std::fflush(stream_) == 0 && !std::ferror(stream_);
  if (ok && sync) ok = fsync(fileno(stream_)) == 0;
  ok = std::fclose(stream_) == 0 && ok;
  stream_ = nullptr;
  if (ok) ok = std::rename(temp_.c_str(), target_.c_str()) == 0;
  committed_ = ok;
  return ok ? 0 : -2;
}

}  // namespace trosk
