// The progress caption and bar of a synchronisation run, shown through the
// front end; the bar is only moved when its percentage changes.
#pragma once

#include <string_view>

namespace trosk {

// Shows `text` in front of the progress bar (empty clears it). Returns 0.
int setcaption(std::string_view text);

// Moves the progress bar to done * 100 / total when that changes the shown
// percentage and the bar is switched on. Returns the front end's answer (a
// negative value when the user cancelled), or 0 when nothing was shown.
int setprogress(long long done, long long total);
// Hides the progress bar. Returns 0.
int hideprogress();

}  // namespace trosk
