// Performance timers: 40 slots that add up how long selected routines take
// and how often they run, in clock units of 20 microseconds, and the
// performance log printed at the end of a verbose run. Each run has its own
// table, which starts empty with the run's clock.
#pragma once

#include <chrono>
#include <cstdint>

namespace trosk {

struct RunContext;

inline constexpr int kTimerSlots = 40;
inline constexpr int kTimerNameSize = 12;

// Slots of the timed routines.
enum TimerSlot : int {
  kTimeFilecheck = 1,
  kTimeCmpchecks = 2,
  kTimeWebget = 3,
  kTimeCopyfile = 4,
  kTimeVerify = 5,
  kTimeChecknode = 6,
  kTimeAddfilenode = 7,
  kTimeFilesize = 8,
  kTimeStatusbar = 11,
  kTimeVerify1 = 12,
  kTimeFindfilenode = 13,
  kTimeExists = 14,
  kTimeFilestats = 15,
};

struct Timers {
  struct Slot {
    int32_t time = 0;
    int32_t calls = 0;
    char name[kTimerNameSize] = {};
  };
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
  int32_t lastReading = 0;
  Slot slot[kTimerSlots];
};

// Clock units since the run's timers started; also kept as the last reading.
int32_t timerread(RunContext& rc);
// With slot >= 0 adds the time since `start` to the slot (the name is kept
// from the slot's first use); with a negative slot prints the performance
// log. Returns 0.
int timerlog(RunContext& rc, int slot, int32_t start, const char* name);
// Adds `units` of time and one call to the slot. Returns 0.
int timercount(RunContext& rc, int slot, int32_t units, const char* name);

}  // namespace trosk
