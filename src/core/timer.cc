#include "core/timer.h"

#include <chrono>
#include <cstring>

#include "core/output.h"

namespace trosk {
namespace {

struct Slot {
  int32_t time = 0;
  int32_t calls = 0;
  char name[kTimerNameSize] = {};
};

using Clock = std::chrono::steady_clock;
Clock::time_point clockStart = Clock::now();
Slot slots[kTimerSlots];
int32_t lastReading = 0;

void printlog() {
  printmsg(outStream, "Performance log:\n   routine    total_time   each_time      N\n");
  for (const Slot& s : slots) {
    if (s.calls <= 0) continue;
    double total = s.time * 20.0;
    float seconds = static_cast<float>(total / 1000000);
    double each = total / s.calls;
    if (each > 1000000) {
      printmsg(outStream, " %12s %10.3f s  %10.3f  s %8ld\n", s.name, seconds, each / 1000000,
               static_cast<long>(s.calls));
    } else if (each > 1000) {
      printmsg(outStream, " %12s %10.3f s  %10.3f ms %8ld\n", s.name, seconds, each / 1000,
               static_cast<long>(s.calls));
    } else {
      printmsg(outStream, " %12s %10.3f s  %10.3f us %8ld\n", s.name, seconds, each,
               static_cast<long>(s.calls));
    }
  }
}

}  // namespace

void timerinit() {
  clockStart = Clock::now();
  lastReading = 0;
}

int32_t timerread() {
  auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - clockStart);
  lastReading = static_cast<int32_t>(elapsed.count() / 20);
  return lastReading;
}

int timerlog(int slot, int32_t start, const char* name) {
  if (slot < 0) {
    printlog();
    return 0;
  }
  return timercount(slot, timerread() - start, name);
}

int timercount(int slot, int32_t units, const char* name) {
  if (slot < 0 || slot >= kTimerSlots) return 0;
  Slot& s = slots[slot];
  s.time += units;
  s.calls += 1;
  if (s.name[0] == '\0' && name) {
    std::strncpy(s.name, name, kTimerNameSize - 1);
  }
  return 0;
}

void timerreset() {
  for (Slot& s : slots) s = Slot{};
}

}  // namespace trosk
