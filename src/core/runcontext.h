// Everything one run of the engine changes: its output, the prompt level with
// its answered-all bits, its timers and progress, the cause of its last
// failure, the host-lock wait, the front end it talks to and the request to
// stop. The caller of a run owns one and passes it down; two runs in one
// process, each with its own, never see each other.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "core/frontend.h"
#include "core/output.h"
#include "core/progress.h"
#include "core/timer.h"

namespace trosk {

// How long a writer waits for another writer's host lock.
inline constexpr int kLockWaitMs = 10000;

struct RunContext {
  explicit RunContext(Frontend& f) : frontend(f) {}
  RunContext(const RunContext&) = delete;
  RunContext& operator=(const RunContext&) = delete;

  Frontend& frontend;
  OutputSink output;
  int16_t verboseLevel = 0;
  int32_t promptLevel = 1;  // 0 asks nothing but the large-file question
  int16_t dateOrder = 0;    // dates print as 0 month/day/year, 1 day/month/year
  Timers timers;
  ProgressMeter meter;
  std::string cause;  // why the last fetch or host write failed; empty when none
  int lockWaitMs = kLockWaitMs;
  char answer[kAnswerSize] = {};  // the last answer, until the next question
  std::vector<unsigned char> readblock;  // the block every file measured is read through

  // Any thread (a window's Cancel button): the run stops at its next step,
  // leaving every file old or new.
  void cancel() { cancelRequested.store(true, std::memory_order_relaxed); }
  bool cancelled() const { return cancelRequested.load(std::memory_order_relaxed); }

 private:
  std::atomic<bool> cancelRequested = false;
};

// promptLevel bits that remember "yes to all" and "no to all".
inline constexpr int32_t kPromptAllYes = 0x200;
inline constexpr int32_t kPromptAllNo = 0x400;

}  // namespace trosk
