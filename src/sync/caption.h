// The progress caption and bar of a synchronisation run, shown through the
// front end. A bar belongs to the step that shows it: it is only moved when
// its percentage changes, and it is hidden when the step ends, however it ends.
#pragma once

#include <string_view>

namespace trosk {

// Shows `text` in front of the progress bar (empty clears it). Returns 0.
int setcaption(rc, std::string_view text);

struct ProgressBar {
  ProgressBar() = default;
  ~ProgressBar() { hide(); }
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  // Moves the bar to done * 100 / total when that changes the shown
  // percentage and the bar is switched on. Returns the front end's answer (a
  // negative value when the user cancelled), or 0 when nothing was shown.
  int set(long long done, long long total);
  // Hides the bar when it is shown. Returns 0.
  int hide();

 private:
  int shown_ = -1;
};

}  // namespace trosk
