#include "repo/versionlog.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "config/options.h"
#include "config/project.h"
#include "core/output.h"
#include "repo/filestats.h"

namespace trosk {
namespace {

constexpr char kVersionLogName[] = "versionlog.txt";

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};

// The comment of the line: -comment when given, else the user's answer.
std::string comment() {
  if (commentText) return commentText;
  char answer[kAnswerSize] = {};
  if (askuser("Add comment: ", answer, nullptr) <= 0) return {};
  return answer;
}

// Appends the whole line with one write and syncs it, so a reader never
// sees half a line and a failure is never taken for success.
int appendline(const std::string& path, const std::string& line) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0666);
  if (fd < 0) return -2;
  bool ok = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
  ok = ::fsync(fd) == 0 && ok;
  ok = ::close(fd) == 0 && ok;
  return ok ? 0 : -2;
}

}  // namespace

int writeversionline(const std::string& projectdir, const char* activity, int version,
                     int subversion, std::string comment) {
  for (char& c : comment) {
    if (c == '\n' || c == '\r') c = ' ';  // one line per change, whatever was typed
  }
  char head[kPathSize];
  std::snprintf(head, sizeof head, "%s %5d/%-4d  %s", nowtext(), version, subversion, activity);
  std::string line = head;
  if (!comment.empty()) {
    char tail[kAnswerSize + 8];
    std::snprintf(tail, sizeof tail, " -- %s", comment.c_str());
    line += tail;
  }
  line += '\n';
  return appendline(projectdir + "/" + kVersionLogName, line);
}

int versionlog(const std::string& projectdir, const char* activity, int version, int subversion) {
  return writeversionline(projectdir, activity, version, subversion, comment());
}

int hasversionline(const std::string& projectdir, int version, int subversion) {
  std::unique_ptr<FILE, FileCloser> in(std::fopen((projectdir + "/" + kVersionLogName).c_str(), "r"));
  if (!in) return 0;
  char line[1024];
  while (std::fgets(line, sizeof line, in.get())) {
    // "<date> <time> %5d/%-4d  <activity>": the numbers follow the time.
    const char* numbers = std::strchr(line, ':');
    numbers = numbers ? std::strchr(numbers + 1, ':') : nullptr;
    numbers = numbers ? std::strchr(numbers, ' ') : nullptr;
    int v = 0, s = 0;
    if (numbers && std::sscanf(numbers, " %d/%d", &v, &s) == 2 && v == version && s == subversion)
      return 1;
  }
  return 0;
}

}  // namespace trosk
