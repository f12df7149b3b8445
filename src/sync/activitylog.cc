#include "sync/activitylog.h"

#include <cstdio>
#include <memory>

#include "config/project.h"
#include "core/atomicfile.h"
#include "core/blockcopy.h"
#include "repo/filestats.h"
#include "sync/pathsafety.h"

namespace trosk {
namespace {

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};

// Replaces `path` with its old content followed by `tail`. Returns 0 or -2.
int append(const std::string& path, const std::string& tail) {
  AtomicFile out(path.c_str());
  if (!out.stream()) return -2;
  std::unique_ptr<FILE, FileCloser> in(std::fopen(path.c_str(), "rb"));
  if (in && copystream(in.get(), out.stream()) < 0) return -2;
  if (std::fwrite(tail.data(), 1, tail.size(), out.stream()) != tail.size()) return -2;
  return out.commit(true);
}

}  // namespace

int ActivityLog::begin(const char* name, int v, int s, bool up) {
  project = name;
  version = v;
  subversion = s;
  upload = up;
  return 0;
}

int ActivityLog::note(const char* name) {
  if (names == 0) {
    char heading[256];
    std::snprintf(heading, sizeof heading, "%s  V= %d/%d  U= %s  Update %sload:\n", nowtext(),
                  version, subversion, userEnv, upload ? "up" : "down");
    lines = heading;
  }
  lines += "  ";
  lines += name;
  if (++names % kNamesPerLine == 0) lines += "\n";
  return names;
}

int ActivityLog::close() {
  if (names == 0) return 0;
  if (names % kNamesPerLine != 0) lines += "\n";
  append("trosk_" + project + "_log.txt", lines);
  lines.clear();
  names = 0;
  return 0;
}

int writeversionstamp(int version, int subversion) {
  AtomicFile stamp(kVersionStamp);
  if (!stamp.stream()) return -2;
  std::fprintf(stamp.stream(), "%d/%d\n", version, subversion);
  return stamp.commit(true);
}

}  // namespace trosk
