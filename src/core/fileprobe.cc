#include "core/fileprobe.h"

#include <sys/stat.h>

#include <cerrno>
#include <memory>
#include <string>

#include "core/runcontext.h"
#include "core/timer.h"

namespace trosk {
namespace {

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};

}  // namespace

int exists(RunContext& rc, const char* path) {
  int32_t start = timerread(rc);
  struct stat st;
  int result = 0;
  if (path && ::stat(path, &st) == 0) result = S_ISDIR(st.st_mode) ? -1 : 1;
  timerlog(rc, kTimeExists, start, "exists");
  return result;
}

int64_t filesize(RunContext& rc, const char* path, FILE* stream) {
  int32_t start = timerread(rc);
  std::unique_ptr<FILE, FileCloser> owned;
  if (path) {
    owned.reset(std::fopen(path, "rb"));
    stream = owned.get();
  }
  int64_t size = stream ? streamsize(stream) : -1;
  timerlog(rc, kTimeFilesize, start, "filesize");
  return size;
}

int64_t streamsize(FILE* stream) {
  // A regular file tells its size without a seek to its end, which would
  // have the stream read its last block and seek back.
  struct stat st;
  if (fstat(fileno(stream), &st) == 0 && S_ISREG(st.st_mode)) return st.st_size;
  int64_t size = -1;
  off_t here = ftello(stream);
  if (fseeko(stream, 0, SEEK_END) == 0) size = ftello(stream);
  if (here >= 0) fseeko(stream, here, SEEK_SET);
  return size;
}

int makeparents(const char* path, int dirmode) {
  std::string dir(path);
  for (std::size_t i = 1; i < dir.size(); ++i) {
    if (dir[i] != '/' || dir[i - 1] == '/') continue;
    dir[i] = '\0';
    struct stat st;
    if (::stat(dir.c_str(), &st) != 0) {
      if (::mkdir(dir.c_str(), static_cast<mode_t>(dirmode)) != 0 && errno != EEXIST) return -1;
    } else if (!S_ISDIR(st.st_mode)) {
      return -1;
    }
    dir[i] = '/';
  }
  return 0;
}

FILE* mkp(const char* path, const char* mode, int dirmode) {
  if (makeparents(path, dirmode) < 0) return nullptr;
  return std::fopen(path, mode);
}

int linkfree(std::string_view relpath, std::unordered_set<std::string>* checked, bool* present) {
  if (present) *present = false;
  std::string prefix;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= relpath.size(); ++i) {
    if (i < relpath.size() && relpath[i] != '/') continue;
    std::string_view part = relpath.substr(start, i - start);
    start = i + 1;
    if (part.empty() || part == ".") continue;
    if (!prefix.empty()) prefix += '/';
    prefix.append(part);
    bool last = relpath.find_first_not_of("/.", i) == std::string_view::npos;
    if (!last && checked && checked->count(prefix)) continue;
    struct stat st;
    if (lstat(prefix.c_str(), &st) != 0) return 1;  // nothing further exists to lead elsewhere
    if (S_ISLNK(st.st_mode)) return 0;
    if (last && present) *present = true;
    if (!last && checked) checked->insert(prefix);
  }
  return 1;
}

bool isseparator(char c) { return c == '/' || c == ':' || c == '\\'; }

std::size_t dirlength(const char* path) {
  std::size_t length = 0;
  for (std::size_t i = 0; path[i]; ++i) {
    if (isseparator(path[i])) length = i + 1;
  }
  return length;
}

const char* basename(const char* path) { return path + dirlength(path); }

}  // namespace trosk
