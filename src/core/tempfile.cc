#include "core/tempfile.h"

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

namespace trosk {
namespace {

constexpr std::string_view kMark = ".trosk-";

bool running(long pid) {
  if (pid == ::getpid()) return true;
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH;
}

}  // namespace

TempFile::~TempFile() {
  if (!path.empty()) ::unlink(path.c_str());
}

TempFile& TempFile::operator=(TempFile&& other) noexcept {
  if (this != &other) {
    if (!path.empty()) ::unlink(path.c_str());
    path = std::move(other.path);
    other.path.clear();
  }
  return *this;
}

std::string tempmark() {
  return std::string(kMark) + std::to_string(::getpid()) + "-";
}

long tempowner(std::string_view name) {
  std::size_t at = name.rfind(kMark);
  if (at == std::string_view::npos) return -1;
  std::size_t p = at + kMark.size();
  long pid = 0;
  std::size_t digits = 0;
  for (; p < name.size() && name[p] >= '0' && name[p] <= '9' && digits < 10; ++p, ++digits)
    pid = pid * 10 + (name[p] - '0');
  if (digits == 0 || p >= name.size() || name[p] != '-') return -1;
  return pid;
}

int removetemps(const std::string& dir, bool all) {
  std::unique_ptr<DIR, int (*)(DIR*)> d(::opendir(dir.empty() ? "." : dir.c_str()), &::closedir);
  if (!d) return 0;
  int removed = 0;
  while (struct dirent* e = ::readdir(d.get())) {
    long owner = tempowner(e->d_name);
    if (owner < 0 || (!all && running(owner))) continue;
    std::string path = dir.empty() ? e->d_name : dir + "/" + e->d_name;
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::unlink(path.c_str()) == 0)
      ++removed;
  }
  return removed;
}

}  // namespace trosk
