#include "sync/caption.h"

#include "config/options.h"
#include "core/frontend.h"

namespace trosk {

int setcaption(rc, std::string_view text) {
  frontend().caption(text);
  return 0;
}

int ProgressBar::set(long long done, long long total) {
  if (progressBar == 0 || total <= 0) return 0;
  int percent = static_cast<int>(done * 100 / total);
  if (percent == shown_) return 0;
  shown_ = percent;
  return frontend().progress(percent);
}

int ProgressBar::hide() {
  if (shown_ >= 0) frontend().progress(-1);
  shown_ = -1;
  return 0;
}

}  // namespace trosk
