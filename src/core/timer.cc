#include "core/timer.h"

#include <cstring>

#include "core/output.h"
#include "core/runcontext.h"

namespace trosk {
namespace {

void printlog(RunContext& rc) {
  printmsg(rc, "Performance log:\n   routine    total_time   each_time      N\n");
  for (const Timers::Slot& s : rc.timers.slot) {
    if (s.calls <= 0) continue;
    double total = s.time * 20.0;
    float seconds = static_cast<float>(total / 1000000);
    double each = total / s.calls;
    if (each > 1000000) {
      printmsg(rc, " %12s %10.3f s  %10.3f  s %8ld\n", s.name, seconds, each / 1000000,
               static_cast<long>(s.calls));
    } else if (each > 1000) {
      printmsg(rc, " %12s %10.3f s  %10.3f ms %8ld\n", s.name, seconds, each / 1000,
               static_cast<long>(s.calls));
    } else {
      printmsg(rc, " %12s %10.3f s  %10.3f us %8ld\n", s.name, seconds, each,
               static_cast<long>(s.calls));
    }
  }
}

}  // namespace

int32_t timerread(RunContext& rc) {
  auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(
      std::chrono::steady_clock::now() - rc.timers.start);
  rc.timers.lastReading = static_cast<int32_t>(elapsed.count() / 20);
  return rc.timers.lastReading;
}

int timerlog(RunContext& rc, int slot, int32_t start, const char* name) {
  if (slot < 0) {
    printlog(rc);
    return 0;
  }
  return timercount(rc, slot, timerread(rc) - start, name);
}

int timercount(RunContext& rc, int slot, int32_t units, const char* name) {
  if (slot < 0 || slot >= kTimerSlots) return 0;
  Timers::Slot& s = rc.timers.slot[slot];
  s.time += units;
  s.calls += 1;
  if (s.name[0] == '\0' && name) {
    std::strncpy(s.name, name, kTimerNameSize - 1);
  }
  return 0;
}

}  // namespace trosk
