// The writers' lock on a project on its host: an upload or an add holds it
// from before it reads the host's logs until the new ones are published, so
// two writers never build on the same subversion and neither loses the
// other's changes. The lock is a file made with an exclusive create in the
// project's directory, naming its holder; readers need no lock.
#pragma once

#include <string>

namespace trosk {

struct RunContext;

inline constexpr const char* kLockName = "trosk.lock";
inline constexpr int kStaleLockSeconds = 3600;

class HostLock {
 public:
  // Takes the lock of the project whose host directory is `projectdir`,
  // waiting up to the run's lockWaitMs for a holder to finish (a run asked
  // to stop stops waiting). A lock whose holder is
  // gone (same machine, process not running) or that is older than an hour
  // is taken over with a warning. A lock still held ends the run with a
  // message naming the holder.
  HostLock(RunContext& rc, const std::string& projectdir);
  // Releases the lock, unless another writer has taken it over meanwhile.
  ~HostLock();
  HostLock(const HostLock&) = delete;
  HostLock& operator=(const HostLock&) = delete;

 private:
  std::string path_;
  std::string mine_;  // what the lock file says while this writer holds it
};

}  // namespace trosk
