#include "repo/hostlock.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>

#include "core/output.h"
#include "core/runcontext.h"
#include "core/runerror.h"

namespace trosk {

namespace {

constexpr int kRetryMs = 50;
constexpr int kStaleBreakerSeconds = 60;
// A lock file is written whole within moments of its making; one that
// still says nothing readable after this long was left by a killed writer.
constexpr int kUnreadableLockSeconds = 2;

struct Holder {
  std::string host;
  long pid = 0;
  long long since = 0;  // seconds since the epoch
  bool readable = false;
};

std::string thishost() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return "unknown";
  return name;
}

std::string readall(const std::string& path) {
  std::string text;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return text;
  char buf[512];
  ssize_t n;
  while ((n = ::read(fd, buf, sizeof buf)) > 0 && text.size() < 4096) text.append(buf, n);
  ::close(fd);
  return text;
}

Holder parseholder(const std::string& text) {
  Holder h;
  char host[256] = {};
  h.readable = std::sscanf(text.c_str(), "host=%255s pid=%ld time=%lld", host, &h.pid, &h.since) == 3;
  h.host = host;
  return h;
}

std::string describe(const Holder& h) {
  if (!h.readable) return "an unknown writer";
  std::time_t when = static_cast<std::time_t>(h.since);
  std::tm local{};
  char date[32] = "?";
  if (localtime_r(&when, &local)) std::strftime(date, sizeof date, "%Y-%m-%d %H:%M:%S", &local);
  return h.host + " (process " + std::to_string(h.pid) + ") since " + date;
}

long long ageof(const std::string& path);

// A holder that can never release the lock: gone from this machine, or
// holding it for longer than any run takes.
bool stale(const Holder& h, const std::string& path) {
  long long now = static_cast<long long>(std::time(nullptr));
  if (!h.readable) return ageof(path) > kUnreadableLockSeconds;
  if (now - h.since > kStaleLockSeconds) return true;
  return h.host == thishost() && h.pid > 0 && ::kill(static_cast<pid_t>(h.pid), 0) != 0 &&
         errno == ESRCH;
}

// Creates the lock file exclusively with `content`. 1 made, 0 taken, -1 failed.
int create(const std::string& path, const std::string& content) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return errno == EEXIST ? 0 : -1;
  bool ok = ::write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
  ok = ::fsync(fd) == 0 && ok;
  ::close(fd);
  if (!ok) ::unlink(path.c_str());
  return ok ? 1 : -1;
}

long long ageof(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return 0;
  return static_cast<long long>(std::time(nullptr)) - static_cast<long long>(st.st_mtime);
}

// Removes a stale lock that still says `seen`. Only one writer at a time
// breaks locks (it holds the breaker file), and a live lock is never
// removed: its content would differ from what was seen as stale.
bool breakstale(const std::string& path, const std::string& seen) {
  std::string breaker = path + ".break";
  if (create(breaker, "breaking\n") != 1) {
    if (ageof(breaker) > kStaleBreakerSeconds) ::unlink(breaker.c_str());
    return false;
  }
  bool broken = readall(path) == seen && ::unlink(path.c_str()) == 0;
  ::unlink(breaker.c_str());
  return broken;
}

}  // namespace

HostLock::HostLock(RunContext& rc, const std::string& projectdir)
    : path_(projectdir + "/" + kLockName) {
  mine_ = "host=" + thishost() + " pid=" + std::to_string(::getpid()) +
          " time=" + std::to_string(static_cast<long long>(std::time(nullptr))) + "\n";
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(rc.lockWaitMs);
  for (;;) {
    int made = create(path_, mine_);
    if (made == 1) return;
    if (made < 0) {
      path_.clear();
      errormsg(rc, "Cannot lock the project on the host: %s", (projectdir + "/" + kLockName).c_str());
    }
    std::string seen = readall(path_);
    Holder holder = parseholder(seen);
    if (stale(holder, path_) && breakstale(path_, seen)) {
      warnmsg(rc, "Took over the host lock of %s, whose holder is gone", describe(holder).c_str());
      continue;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      path_.clear();
      errormsg(rc, "The project is being changed on the host by %s; try again later",
               describe(holder).c_str());
    }
    if (rc.cancelled()) {
      path_.clear();
      throw RunError::cancelled();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(kRetryMs));
  }
}

HostLock::~HostLock() {
  if (!path_.empty() && readall(path_) == mine_) ::unlink(path_.c_str());
}

}  // namespace trosk
