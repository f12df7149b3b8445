// The quick measurements of the files a local log names, taken on a second
// thread while the run reads the host's log, so that the comparison finds
// most of them ready; the comparison takes over any it reaches first.
#pragma once

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "repo/filestats.h"
#include "repo/logtable.h"

namespace trosk {

class StatAhead {
 public:
  // Starts measuring the files of `files` in the order they were filed.
  explicit StatAhead(const NameIndex& files);
  // Stops the thread (measurements not taken yet are dropped).
  ~StatAhead();
  StatAhead(const StatAhead&) = delete;
  StatAhead& operator=(const StatAhead&) = delete;

  // quickstats(name, stats) for the file of record `index`: the measurement
  // taken ahead when `name` is that record's name, else one taken now.
  int quick(std::size_t index, const char* name, FileStats* stats);

 private:
  struct Result {
    std::atomic<int> state{0};
    int found = 0;
    FileStats stats;
  };
  void run();

  const NameIndex& files_;
  std::unique_ptr<Result[]> results_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace trosk
