#include "repo/versionlog.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "config/options.h"
#include "config/project.h"
#include "core/output.h"
#include "repo/filestats.h"

namespace trosk {
namespace {

constexpr char kVersionLogName[] = "versionlog.txt";

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

int versionlog(const std::string& projectdir, const char* activity, int version, int subversion) {
  std::string text = comment();
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';  // one line per change, whatever was typed
  }
  char head[kPathSize];
  std::snprintf(head, sizeof head, "%s %5d/%-4d  %s", nowtext(), version, subversion, activity);
  std::string line = head;
  if (!text.empty()) {
    char tail[kAnswerSize + 8];
    std::snprintf(tail, sizeof tail, " -- %s", text.c_str());
    line += tail;
  }
  line += '\n';
  return appendline(projectdir + "/" + kVersionLogName, line);
}

}  // namespace trosk
