#include "sync/activitylog.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

#include "config/project.h"
#include "core/atomicfile.h"
#include "core/blockcopy.h"
#include "core/runcontext.h"
#include "repo/filestats.h"
#include "sync/pathsafety.h"

namespace trosk {
namespace {

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};

// Replaces `path` with its old content followed by `tail`. Returns 0 or -2.
int append(RunContext& rc, const std::string& path, const std::string& tail) {
  AtomicFile out(rc, path.c_str());
  if (!out.stream()) return -2;
  std::unique_ptr<FILE, FileCloser> in(std::fopen(path.c_str(), "rb"));
  if (in && copystream(in.get(), out.stream()) < 0) return -2;
  if (std::fwrite(tail.data(), 1, tail.size(), out.stream()) != tail.size()) return -2;
  return out.commit(true);
}

std::string markpath(const char* project) { return std::string(kTransferMark) + project; }

}  // namespace

int ActivityLog::begin(const char* name, const std::string& who, int v, int s, bool up) {
  project = name;
  user = who;
  version = v;
  subversion = s;
  upload = up;
  return 0;
}

int ActivityLog::note(const RunContext& rc, const char* name) {
  if (names == 0) {
    char heading[256];
    std::snprintf(heading, sizeof heading, "%s  V= %d/%d  U= %s  Update %sload:\n",
                  nowtext(rc).c_str(), version, subversion, user.c_str(), upload ? "up" : "down");
    lines = heading;
  }
  lines += "  ";
  lines += name;
  if (++names % kNamesPerLine == 0) lines += "\n";
  return names;
}

int ActivityLog::close(RunContext& rc) {
  if (names == 0) return 0;
  if (names % kNamesPerLine != 0) lines += "\n";
  append(rc, "trosk_" + project + "_log.txt", lines);
  lines.clear();
  names = 0;
  return 0;
}

int writeversionstamp(RunContext& rc, int version, int subversion) {
  AtomicFile stamp(rc, kVersionStamp);
  if (!stamp.stream()) return -2;
  std::fprintf(stamp.stream(), "%d/%d\n", version, subversion);
  return stamp.commit(true);
}

bool transfermarked(const char* project) {
  return ::access(markpath(project).c_str(), F_OK) == 0;
}

TempFile transfermark(const char* project, bool make) {
  std::string path = markpath(project);
  if (make) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return TempFile();
    ::close(fd);
  }
  return TempFile(path);
}

}  // namespace trosk
