#include "sync/caption.h"

#include "config/options.h"
#include "core/frontend.h"

namespace trosk {
namespace {
int shownPercent = -1;
}  // namespace

int setcaption(std::string_view text) {
  frontend().caption(text);
  return 0;
}

int setprogress(long long done, long long total) {
  if (progressBar == 0 || total <= 0) return 0;
  int percent = static_cast<int>(done * 100 / total);
  if (percent == shownPercent) return 0;
  shownPercent = percent;
  return frontend().progress(percent);
}

int hideprogress() {
  if (shownPercent >= 0) frontend().progress(-1);
  shownPercent = -1;
  return 0;
}

}  // namespace trosk
