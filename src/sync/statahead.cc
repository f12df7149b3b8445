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

// The names of the "file" entries of a log text in the usual layout (each
// opened by "<file>" with its "<name>" child first), trimmed as a table
// files them; an entry written otherwise gets an empty name, which matches
// nothing.
void scannames(std::string_view text, std::string& names, std::vector<uint32_t>& ends) {
  constexpr std::string_view kEntry = "<file>", kName = "<name>", kEnd = "</name>";
  for (std::size_t at = text.find(kEntry); at != std::string_view::npos;
       at = text.find(kEntry, at)) {
    at += kEntry.size();
    while (at < text.size() && static_cast<unsigned char>(text[at]) <= ' ') ++at;
    std::string_view name;
    if (text.compare(at, kName.size(), kName) == 0) {
      std::size_t begin = at + kName.size();
      std::size_t end = text.find(kEnd, begin);
      if (end != std::string_view::npos) name = text.substr(begin, end - begin);
      // Markup or an entity inside is for the parser to read.
      if (name.find_first_of("<&") != std::string_view::npos) name = {};
      while (!name.empty() && static_cast<unsigned char>(name.back()) <= ' ') name.remove_suffix(1);
    }
    names.append(name);
    ends.push_back(static_cast<uint32_t>(names.size()));
  }
}

}  // namespace

StatAhead::StatAhead(std::string_view logtext) {
  scannames(logtext, names_, ends_);
  results_ = std::make_unique<Result[]>(ends_.size());
  thread_ = std::thread([this] { run(); });
}

StatAhead::~StatAhead() {
  stop_ = true;
  thread_.join();
}

std::string_view StatAhead::nameat(std::size_t index) const {
  uint32_t begin = index == 0 ? 0 : ends_[index - 1];
  return std::string_view(names_).substr(begin, ends_[index] - begin);
}

void StatAhead::run() {
  std::string name;
  Folder folder;
  FileStats stats;
  // From the last entry back: the comparison measures from the first on
  // what is not ready when it gets there, so that the two meet once.
  for (std::size_t i = ends_.size(); i-- > 0 && !stop_;) {
    Result& r = results_[i];
    int expected = kFree;
    if (!r.state.compare_exchange_strong(expected, kTaking)) continue;
    name.assign(nameat(i));
    std::size_t slash = name.rfind('/');
    int dir = slash == std::string::npos ? AT_FDCWD : folder.at(std::string_view(name).substr(0, slash));
    const char* last = dir == AT_FDCWD ? name.c_str() : name.c_str() + slash + 1;
    r.found = name.empty() ? 0 : quickstatsat(dir, last, &stats);
    r.size = stats.size;
    r.date = stats.date;
    r.time = stats.time;
    r.state.store(kTaken, std::memory_order_release);
  }
}

int StatAhead::quick(std::size_t index, const char* name, FileStats* stats) {
  if (index >= ends_.size() || nameat(index) != name) return quickstats(name, stats);
  Result& r = results_[index];
  int expected = kFree;
  // A measurement the thread has not finished is taken anew rather than
  // waited for: one call costs what a wait would.
  if (r.state.compare_exchange_strong(expected, kUsed) || expected != kTaken) {
    return quickstats(name, stats);
  }
  *stats = FileStats{};
  stats->size = r.size;
  stats->date = r.date;
  stats->time = r.time;
  r.state.store(kUsed, std::memory_order_relaxed);
  return r.found;
}

}  // namespace trosk
