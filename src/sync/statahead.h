// The quick measurements of the files a local log names, taken on a second
// thread while the run parses the log and reads the host's, so that the
// comparison finds most of them ready; the comparison takes over any it
// reaches first, and measures anew any the thread got otherwise than the
// log's table files it.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "repo/filestats.h"

namespace trosk {

class StatAhead {
 public:
  // Starts measuring the files of the log text's "file" entries in the
  // order they stand, before the text is parsed (and changed) in place:
  // each name is taken from it as the usual layout writes it.
  explicit StatAhead(std::string_view logtext);
  // Stops the thread (measurements not taken yet are dropped).
  ~StatAhead();
  StatAhead(const StatAhead&) = delete;
  StatAhead& operator=(const StatAhead&) = delete;

  // quickstats(name, stats) for the entry the table files at `index`: the
  // measurement taken ahead when the text named that entry `name`, else
  // one taken now.
  int quick(std::size_t index, const char* name, FileStats* stats);

 private:
  struct Result {
    std::atomic<int> state{0};
    int found = 0;
    int32_t date = 0;
    int32_t time = 0;
    int64_t size = 0;
  };
  std::string_view nameat(std::size_t index) const;
  void run();

  std::string names_;               // the names, one after another
  std::vector<uint32_t> ends_;      // where each ends in `names_`
  std::unique_ptr<Result[]> results_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace trosk
