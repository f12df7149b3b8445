#include "sync/activitylog.h"

#include <string>

#include "config/project.h"
#include "core/atomicfile.h"
#include "repo/filestats.h"
#include "sync/pathsafety.h"

namespace trosk {
namespace {

// The version the working directory was last brought to. Returns 0 or -2.
int writeversionstamp(int version, int subversion) {
  AtomicFile stamp(kVersionStamp);
  if (!stamp.stream()) return -2;
  std::fprintf(stamp.stream(), "%d/%d\n", version, subversion);
  return stamp.commit();
}

}  // namespace

int ActivityLog::note(const char* project, int version, int subversion, bool upload,
                      const char* name) {
  if (!started) {
    started = true;
    std::string path = std::string("trosk_") + project + "_log.txt";
    file.reset(std::fopen(path.c_str(), "a"));
    if (file) {
      std::fprintf(file.get(), "%s  V= %d/%d  U= %s  Update %sload:\n", nowtext(), version,
                   subversion, userEnv, upload ? "up" : "down");
    } else {
      lines = -1;
    }
    writeversionstamp(version, subversion);
  }
  if (!file) return -1;
  std::fprintf(file.get(), "  %s", name);
  if (++lines % kNamesPerLine == 0) std::fputs("\n", file.get());
  return lines;
}

int ActivityLog::close() {
  if (file && lines % kNamesPerLine != 0) std::fputs("\n", file.get());
  file.reset();
  return 0;
}

}  // namespace trosk
