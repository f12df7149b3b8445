#include "core/progress.h"

#include "core/runcontext.h"

namespace trosk {
namespace {

int percentof(const ProgressMeter& m) {
  long long done, total;
  if (m.bytesTotal > 0) {
    done = m.bytesDone + m.fileBytes;
    total = m.bytesTotal;
  } else {
    done = m.filesDone;
    total = m.filesTotal;
  }
  if (total <= 0) return 0;
  long long percent = done * 100 / total;
  return percent > 100 ? 100 : percent < 0 ? 0 : static_cast<int>(percent);
}

void report(RunContext& rc, bool filechanged) {
  ProgressMeter& m = rc.meter;
  if (!m.enabled || !m.active) return;
  int percent = percentof(m);
  if (percent == m.shown && !filechanged) return;
  m.shown = percent;
  Progress p;
  p.filesDone = m.filesDone;
  p.filesTotal = m.filesTotal;
  p.bytesDone = m.bytesDone + m.fileBytes;
  p.bytesTotal = m.bytesTotal;
  p.file = m.file;
  p.caption = m.caption;
  p.percent = percent;
  rc.frontend.progress(p);
}

}  // namespace

int setcaption(RunContext& rc, std::string_view text) {
  rc.meter.caption.assign(text);
  rc.frontend.caption(text);
  return 0;
}

void progressbegin(RunContext& rc, long long files, long long bytes) {
  ProgressMeter& m = rc.meter;
  m.filesDone = m.bytesDone = m.fileBytes = m.fileSize = 0;
  m.filesTotal = files;
  m.bytesTotal = bytes;
  m.file.clear();
  m.active = true;
  report(rc, false);
}

void progressexpect(RunContext& rc, long long files, long long bytes) {
  ProgressMeter& m = rc.meter;
  m.filesTotal += files;
  m.bytesTotal += bytes;
  if (m.filesTotal < m.filesDone) m.filesTotal = m.filesDone;
  if (m.bytesTotal < 0) m.bytesTotal = 0;
}

void progressfile(RunContext& rc, std::string_view name, long long bytes) {
  ProgressMeter& m = rc.meter;
  m.file.assign(name);
  m.fileSize = bytes;
  m.fileBytes = 0;
  report(rc, true);
}

void progressbytes(RunContext& rc, long long done, long long of) {
  ProgressMeter& m = rc.meter;
  if (!m.active) return;
  if (m.fileSize <= 0 || of <= 0) {
    m.fileBytes = done;
  } else {
    m.fileBytes = static_cast<long long>(static_cast<double>(done) / of * m.fileSize);
    if (m.fileBytes > m.fileSize) m.fileBytes = m.fileSize;
  }
  report(rc, false);
}

void progressfiledone(RunContext& rc, long long bytes) {
  ProgressMeter& m = rc.meter;
  ++m.filesDone;
  m.bytesDone += bytes;
  m.fileBytes = 0;
  m.file.clear();
  report(rc, false);
}

void progressend(RunContext& rc) {
  ProgressMeter& m = rc.meter;
  if (m.shown >= 0 && m.enabled) rc.frontend.progressdone();
  m.active = false;
  m.shown = -1;
  m.file.clear();
  m.fileBytes = 0;
}

}  // namespace trosk
