#include "net/webbody.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "core/cause.h"
#include "core/runcontext.h"
#include "net/http.h"

namespace trosk {
namespace {

// Memory set aside for a decoded body before its bytes arrive.
constexpr std::size_t kMaxReservation = std::size_t{16} << 20;
// Bytes gathered for one write of a file written directly.
constexpr std::size_t kDirectBlock = std::size_t{256} << 10;

}  // namespace

// Creates the caller's temporary file. A file left under that name by an
// earlier run is removed (a link is removed, not followed) and the name
// created afresh.
int WebBody::opendirect() {
  constexpr int kFlags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
  int fd = ::open(file_.c_str(), kFlags, newfilemode(false));
  if (fd < 0 && errno == EEXIST && ::unlink(file_.c_str()) == 0) {
    fd = ::open(file_.c_str(), kFlags, newfilemode(false));
  }
  if (fd >= 0) {
    direct_ = fd;
    return 0;
  }
  writefailed();
  return -2;
}

WebBody::~WebBody() {
  if (direct_ >= 0) ::close(direct_);
}

bool WebBody::flushdirect() {
  const char* data = pending_.data();
  std::size_t left = pending_.size();
  while (left > 0) {
    ssize_t written = ::write(direct_, data, left);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    left -= static_cast<std::size_t>(written);
  }
  pending_.clear();
  return true;
}

bool WebBody::write(const char* data, std::size_t n) {
  if (out_) return std::fwrite(data, 1, n, out_->stream()) == n;
  pending_.append(data, n);
  return pending_.size() < kDirectBlock || flushdirect();
}

int WebBody::open(std::string* text, const char* file, bool decode, const char* source,
                  bool inplace) {
  vtp = decode ? kVtpUnknown : kVtpPlain;
  source_ = source ? source : "the file";
  if (file && inplace) {
    file_ = file;
    return opendirect();
  }
  if (file) {
    file_ = file;
    out_ = std::make_unique<AtomicFile>(rc_, file);
    if (!out_->stream()) {
      writefailed();
      return -2;
    }
    return 0;
  }
  text_ = text;
  text_->clear();
  return 0;
}

// Records the system's reason (errno) for a failed write of the file.
void WebBody::writefailed() {
  int reason = errno;
  std::string dir = std::filesystem::path(file_).parent_path().string();
  setcause(rc_, "cannot store %s in %s: %s", source_.c_str(),
           dir.empty() ? "the working directory" : dir.c_str(), std::strerror(reason));
  error = -2;
}

bool WebBody::fail(int code) {
  if (code == -1) {
    setcause(rc_, "%s is larger than the %zu MiB read into memory", source_.c_str(),
             kMaxMemoryBody >> 20);
  }
  error = code;
  return false;
}

void WebBody::keepcopy(std::string* copy, std::size_t limit) {
  copy_ = copy;
  copylimit_ = limit;
  copy_->clear();
}

bool WebBody::put(const char* data, std::size_t n) {
  if (error) return false;
  if (n == 0) return true;
  if (tofile()) {
    if (!write(data, n)) {
      writefailed();
      return false;
    }
    if (copy_ && copy_->size() + n <= copylimit_) {
      copy_->append(data, n);
    } else if (copy_) {
      copy_->clear();
      copy_ = nullptr;
    }
  } else if (text_->size() + n > kMaxMemoryBody) {
    return fail(-1);
  } else {
    text_->append(data, n);
  }
  stored += n;
  return true;
}

bool WebBody::take(const char* data, std::size_t n) {
  if (error) return false;
  if (vtp == kVtpPlain) return put(data, n);
  if (vtp == kVtpUnknown) {
    std::size_t need = std::min(kVtpMagic.size() - lead_.size(), n);
    lead_.append(data, need);
    data += need;
    n -= need;
    if (lead_.size() < kVtpMagic.size()) return true;
    vtp = isvtp(lead_) ? kVtpHeader : kVtpPlain;
    bool ok = vtp == kVtpPlain ? put(lead_.data(), lead_.size()) : decodeinto(lead_.data(), lead_.size());
    lead_.clear();
    if (!ok) return false;
    if (n == 0) return true;
    if (vtp == kVtpPlain) return put(data, n);
  }
  return decodeinto(data, n);
}

bool WebBody::decodeinto(const char* data, std::size_t n) {
  if (decoder_.feed(data, n, [this](const char* d, std::size_t k) { return put(d, k); }) < 0) {
    if (!error) {
      setcause(rc_, "the VTP armour of %s is corrupt", source_.c_str());
      error = -1;
    }
    return false;
  }
  if (error) return false;
  int64_t announced = decoder_.decodedsize();
  if (announced < 0) return true;
  vtp = kVtpDecoding;
  if (text_ && !reserved_) {
    // The announced size is outside input: it must pass the cap before it is
    // trusted, and a short file claiming a huge size gets no huge reservation.
    if (static_cast<uint64_t>(announced) > kMaxMemoryBody) return fail(-1);
    std::size_t reserved = std::min(static_cast<std::size_t>(announced), kMaxReservation);
    text_->reserve(text_->size() + reserved + 1);
    reserved_ = true;
  }
  return true;
}

int WebBody::close() {
  if (!error && vtp == kVtpUnknown) {
    // Shorter than the armour's mark: plain text.
    vtp = kVtpPlain;
    put(lead_.data(), lead_.size());
  }
  if (!error && vtp >= kVtpHeader && decoder_.finish() != 0) {
    setcause(rc_, "the VTP armour of %s is cut short or does not match its check", source_.c_str());
    error = -1;
  }
  if (!error && out_ && out_->commit() != 0) writefailed();
  if (direct_ >= 0) {
    errno = 0;
    bool written = error || flushdirect();
    written = ::close(direct_) == 0 && written;
    direct_ = -1;
    if (!error && !written) writefailed();
  }
  return error;
}

}  // namespace trosk
