// Performance timers: 40 slots that add up how long selected routines take
// and how often they run, in clock units of 20 microseconds, and the
// performance log printed at the end of a verbose run.
#pragma once

#include <cstdint>

namespace trosk {

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

// Starts the clock. Called once at start-up.
void timerinit();
// Clock units since timerinit; also kept as the last reading.
int32_t timerread();
// With slot >= 0 adds the time since `start` to the slot (the name is kept
// from the slot's first use); with a negative slot prints the performance
// log. Returns 0.
int timerlog(int slot, int32_t start, const char* name);
// Adds `units` of time and one call to the slot. Returns 0.
int timercount(int slot, int32_t units, const char* name);
// Clears every slot (tests only measure fresh tables).
void timerreset();

}  // namespace trosk
