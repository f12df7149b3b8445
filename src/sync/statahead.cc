#include "sync/statahead.h"

#include <string>

#include "sync/localstat.h"

namespace trosk {
namespace {

constexpr int kFree = 0;
constexpr int kTaking = 1;  // the thread is measuring it
constexpr int kTaken = 2;   // measured ahead, not used yet
constexpr int kUsed = 3;    // whoever asks again measures anew

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
  for (std::size_t i = 0; i < files_.records.size() && !stop_; ++i) {
    Result& r = results_[i];
    int expected = kFree;
    if (!r.state.compare_exchange_strong(expected, kTaking)) continue;
    name.assign(files_.nameof(files_.records[i]));
    r.found = quickstats(name.c_str(), &r.stats);
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
