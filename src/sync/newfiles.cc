#include "sync/newfiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <deque>
#include <memory>

#include "core/relpath.h"
#include "core/runcontext.h"
#include "core/tempfile.h"
#include "sync/pathsafety.h"

namespace trosk {
namespace {

struct DirCloser {
  void operator()(DIR* d) const { ::closedir(d); }
};

// What an entry is, from the directory listing where it says, else from
// one status call that does not follow a link. Fills `st` only when it had
// to call it.
int kindof(DIR* dir, const struct dirent* e, struct stat* st, bool* stated) {
  *stated = false;
  if (e->d_type != DT_UNKNOWN) return e->d_type;
  if (::fstatat(::dirfd(dir), e->d_name, st, AT_SYMLINK_NOFOLLOW) != 0) return DT_UNKNOWN;
  *stated = true;
  if (S_ISDIR(st->st_mode)) return DT_DIR;
  if (S_ISREG(st->st_mode)) return DT_REG;
  return DT_UNKNOWN;  // links and special files are not the project's
}

struct Walk {
  RunContext& rc;
  const std::unordered_set<std::string>& known;
  const char* project;
  const char* localname;
  std::size_t limit;
  std::deque<std::string> dirs{""};
  std::vector<NewFile> found;

  bool full() const { return found.size() >= limit; }

  void file(DIR* dir, const struct dirent* e, std::string&& path, struct stat* st, bool stated) {
    if (known.count(path) || tempowner(e->d_name) >= 0 || isownfile(path, project, localname))
      return;
    if (!stated && ::fstatat(::dirfd(dir), e->d_name, st, AT_SYMLINK_NOFOLLOW) != 0) return;
    if (!S_ISREG(st->st_mode)) return;  // replaced since it was listed
    NewFile f{std::move(path), FileStats{}};
    f.stats.size = st->st_size;
    setstamp(st->st_mtime, &f.stats);
    found.push_back(std::move(f));
  }

  void directory(const std::string& at) {
    std::unique_ptr<DIR, DirCloser> dir(::opendir(at.empty() ? "." : at.c_str()));
    if (!dir) return;
    while (const struct dirent* e = ::readdir(dir.get())) {
      if (e->d_name[0] == '.') continue;  // hidden, and "." and ".."
      std::string path = at.empty() ? std::string(e->d_name) : at + "/" + e->d_name;
      struct stat st;
      bool stated = false;
      int kind = kindof(dir.get(), e, &st, &stated);
      if (kind == DT_DIR) {
        if (!isownfile(path, project, localname)) dirs.push_back(std::move(path));
      } else if (kind == DT_REG) {
        file(dir.get(), e, std::move(path), &st, stated);
        if (full()) return;
      }
    }
  }
};

}  // namespace

std::string walkname(std::string_view name) {
  std::string joined;
  components(name, [&joined](std::string_view part) {
    if (!joined.empty()) joined += '/';
    joined.append(part);
    return true;
  });
  return joined;
}

std::vector<NewFile> newfiles(RunContext& rc, const std::unordered_set<std::string>& known,
                              const char* project, const char* localname, std::size_t limit) {
  Walk walk{rc, known, project, localname, limit};
  while (!walk.dirs.empty() && !walk.full() && !rc.cancelled()) {
    std::string at = std::move(walk.dirs.front());
    walk.dirs.pop_front();
    walk.directory(at);
  }
  std::sort(walk.found.begin(), walk.found.end(),
            [](const NewFile& a, const NewFile& b) { return a.name < b.name; });
  return std::move(walk.found);
}

}  // namespace trosk
