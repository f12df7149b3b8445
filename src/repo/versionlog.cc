#include "repo/versionlog.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "config/project.h"
#include "core/atomicfile.h"
#include "core/output.h"
#include "core/runcontext.h"
#include "repo/filestats.h"

namespace trosk {
namespace {

constexpr char kVersionLogName[] = "versionlog.txt";
constexpr std::size_t kDateText = 17;  // "%2d/%02d/%02d %02d:%02d:%02d" begins each line

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};

// Appends the whole line with one write and syncs it, so a reader never
// sees half a line and a failure is never taken for success.
// Appends the line, synced. A log that does not exist yet appears with its
// first line whole: a writer killed on the way leaves no empty log.
int appendline(RunContext& rc, const std::string& path, const std::string& line) {
  int fd = ::open(path.c_str(), O_WRONLY | O_APPEND);
  if (fd < 0 && errno == ENOENT) {
    AtomicFile first(rc, path.c_str());
    if (!first.stream() || std::fwrite(line.data(), 1, line.size(), first.stream()) != line.size())
      return -2;
    int taken = first.commitnew(path, true);
    if (taken <= 0) return taken;
    fd = ::open(path.c_str(), O_WRONLY | O_APPEND);  // another writer made it meanwhile
  }
  if (fd < 0) return -2;
  bool ok = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
  ok = ::fsync(fd) == 0 && ok;
  ok = ::close(fd) == 0 && ok;
  return ok ? 0 : -2;
}

// "%2d/%02d/%02d %02d:%02d:%02d" as nowtext writes it: '9' stands for a
// digit, 'b' for a digit or the blank of a one-digit first number.
bool isdatetext(std::string_view date) {
  static constexpr std::string_view kShape = "b9/99/99 99:99:99";
  if (date.size() != kShape.size()) return false;
  for (std::size_t i = 0; i < kShape.size(); ++i) {
    char c = date[i];
    bool digit = c >= '0' && c <= '9';
    bool fits = kShape[i] == '9' ? digit : kShape[i] == 'b' ? digit || c == ' ' : c == kShape[i];
    if (!fits) return false;
  }
  return true;
}

// Takes the unsigned decimal at the front of `text` into `value`; false when
// there is none or it is beyond an int.
bool takenumber(std::string_view& text, int* value) {
  if (text.empty() || text[0] < '0' || text[0] > '9') return false;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
  if (ec != std::errc()) return false;
  text.remove_prefix(static_cast<std::size_t>(end - text.data()));
  return true;
}

std::size_t blanks(std::string_view text) {
  std::size_t n = text.find_first_not_of(' ');
  return n == std::string_view::npos ? text.size() : n;
}

}  // namespace

std::string askcomment(RunContext& rc, const char* given) {
  if (given) return given;
  char answer[kAnswerSize] = {};
  if (askuser(rc, "Add comment: ", answer, nullptr) <= 0) return {};
  return answer;
}

std::string versionline(RunContext& rc, const char* activity, int version, int subversion,
                        std::string comment) {
  for (char& c : comment) {
    if (c == '\n' || c == '\r') c = ' ';  // one line per change, whatever was typed
  }
  char head[kPathSize];
  std::snprintf(head, sizeof head, "%s %5d/%-4d  %s", nowtext(rc).c_str(), version, subversion,
                activity);
  std::string line = head;
  if (!comment.empty()) {
    char tail[kAnswerSize + 8];
    std::snprintf(tail, sizeof tail, " -- %s", comment.c_str());
    line += tail;
  }
  line += '\n';
  return line;
}

int appendversionline(RunContext& rc, const std::string& projectdir, const std::string& line) {
  return appendline(rc, projectdir + "/" + kVersionLogName, line);
}

int writeversionline(RunContext& rc, const std::string& projectdir, const char* activity,
                     int version, int subversion, std::string comment) {
  return appendversionline(rc, projectdir,
                           versionline(rc, activity, version, subversion, std::move(comment)));
}

TempFile notelineahead(const char* project, const std::string& projectdir, const std::string& line) {
  TempFile note(std::string(kLineNote) + project);
  std::unique_ptr<FILE, FileCloser> out(std::fopen(note.path.c_str(), "wb"));
  std::string text = projectdir + "\n" + line;
  if (!out || std::fwrite(text.data(), 1, text.size(), out.get()) != text.size() ||
      std::fclose(out.release()) != 0)
    return TempFile();
  return note;
}

std::string interruptedline(const char* project, const std::string& projectdir) {
  std::unique_ptr<FILE, FileCloser> in(std::fopen((std::string(kLineNote) + project).c_str(), "rb"));
  if (!in) return {};
  char buffer[2 * kPathSize + kAnswerSize];
  std::size_t n = std::fread(buffer, 1, sizeof buffer, in.get());
  std::string_view text(buffer, n);
  std::size_t end = text.find('\n');
  if (end == std::string_view::npos || text.substr(0, end) != projectdir) return {};
  std::string_view line = text.substr(end + 1);
  VersionEntry shape;
  if (line.empty() || line.back() != '\n' || !parseversionline(line, &shape)) return {};
  return std::string(line);
}

int holdsline(const std::string& projectdir, const std::string& line) {
  std::unique_ptr<FILE, FileCloser> in(std::fopen((projectdir + "/" + kVersionLogName).c_str(), "rb"));
  if (!in) return 0;
  std::string got;
  char block[1024];
  while (std::fgets(block, sizeof block, in.get())) {
    got += block;
    if (got.back() != '\n') continue;  // a line longer than the block
    if (got == line) return 1;
    got.clear();
  }
  return 0;
}

int versionlog(RunContext& rc, const std::string& projectdir, const char* activity, int version,
               int subversion, const char* comment) {
  return writeversionline(rc, projectdir, activity, version, subversion, askcomment(rc, comment));
}

bool parseversionline(std::string_view line, VersionEntry* out) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  if (line.size() <= kDateText || !isdatetext(line.substr(0, kDateText)) || line[kDateText] != ' ')
    return false;
  std::string_view rest = line.substr(kDateText + 1);
  rest.remove_prefix(blanks(rest));
  int version = 0, subversion = 0;
  if (!takenumber(rest, &version) || rest.empty() || rest[0] != '/') return false;
  rest.remove_prefix(1);
  if (!takenumber(rest, &subversion)) return false;
  std::size_t gap = blanks(rest);
  if (gap < 2 || gap == rest.size()) return false;
  rest.remove_prefix(gap);
  std::size_t dashes = rest.find(" -- ");
  VersionEntry entry;
  entry.date = line.substr(0, kDateText);
  entry.version = version;
  entry.subversion = subversion;
  entry.activity = rest.substr(0, dashes);
  if (dashes != std::string_view::npos) entry.comment = rest.substr(dashes + 4);
  *out = entry;
  return true;
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
