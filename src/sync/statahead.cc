#include "sync/statahead.h"

#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <string_view>

#include "sync/localstat.h"

namespace trosk {
namespace {

constexpr int kFree = 0;
constexpr int kTaking = 1;  // the thread is measuring it
constexpr int kTaken = 2;   // measured ahead, not used yet
constexpr int kUsed = 3;    // whoever asks again measures anew

// The folder of the files being measured, open: a file of it is looked up
// by its last name alone instead of by its whole path. A log files the
// names of one folder together, so one is open at a time.
class Folder {
 public:
  ~Folder() { shut(); }
  // The folder `dir` as a directory to look up names in; AT_FDCWD when it
  // cannot be opened, and the whole path serves.
  int at(std::string_view dir) {
    if (!tried_ || dir != name_) {
      shut();
      name_.assign(dir);
      fd_ = ::open(name_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      tried_ = true;
    }
    return fd_ >= 0 ? fd_ : AT_FDCWD;
  }

 private:
  void shut() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  std::string name_;
  int fd_ = -1;
  bool tried_ = false;
};

}  // namespace

StatAhead::StatAhead(const NameIndex& files)
    : files_(files), results_(std::make_unique<Result[]>(files.records.size())) {
  thread_ = std::thread([this] { run(); });
}

StatAhead::~StatAhead() {
  stop_ = true;
  thread_.join();
}

void StatAhead::run() {
  std::string name;
  Folder folder;
  for (std::size_t i = 0; i < files_.records.size() && !stop_; ++i) {
    Result& r = results_[i];
    int expected = kFree;
    if (!r.state.compare_exchange_strong(expected, kTaking)) continue;
    name.assign(files_.nameof(files_.records[i]));
    std::size_t slash = name.rfind('/');
    int dir = slash == std::string::npos ? AT_FDCWD : folder.at(std::string_view(name).substr(0, slash));
    const char* last = dir == AT_FDCWD ? name.c_str() : name.c_str() + slash + 1;
    r.found = quickstatsat(dir, last, &r.stats);
    r.state.store(kTaken, std::memory_order_release);
  }
}

int StatAhead::quick(std::size_t index, const char* name, FileStats* stats) {
  Result& r = results_[index];
  int expected = kFree;
  // A measurement the thread has not finished is taken anew rather than
  // waited for: one call costs what a wait would.
  if (files_.nameof(files_.records[index]) != name ||
      r.state.compare_exchange_strong(expected, kUsed) || expected != kTaken) {
    return quickstats(name, stats);
  }
  *stats = r.stats;
  r.state.store(kUsed, std::memory_order_relaxed);
  return r.found;
}

}  // namespace trosk
