#include "sync/showdiff.h"

#include <cstdio>
#include <memory>
#include <string_view>

#include "core/output.h"
#include "core/runcontext.h"
#include "diff/linediff.h"
#include "sync/askupdate.h"
#include "xml/xmlwrite.h"

namespace trosk {
namespace {

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};

// Reads a whole file of at most kMaxDiffFile bytes. Returns 0, -1 when it
// cannot be read, -2 when it is larger than the cap.
int readcapped(const char* path, std::string* out) {
  std::unique_ptr<FILE, FileCloser> in(std::fopen(path, "rb"));
  if (!in) return -1;
  out->clear();
  char block[1 << 16];
  std::size_t n;
  while ((n = std::fread(block, 1, sizeof block, in.get())) > 0) {
    if (out->size() + n > kMaxDiffFile) return -2;
    out->append(block, n);
  }
  return std::ferror(in.get()) ? -1 : 0;
}

// Binary in the sense of the file statistics: a byte below 7.
bool isbinary(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) < 7) return true;
  }
  return false;
}

bool endswith(const std::string& name, std::string_view tail) {
  if (name.size() < tail.size()) return false;
  for (std::size_t i = 0; i < tail.size(); ++i) {
    char c = name[name.size() - tail.size() + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != tail[i]) return false;
  }
  return true;
}

// The name quoted for a POSIX shell, so that a hint can be pasted as it is.
std::string shellquote(const std::string& name) {
  std::string quoted = "'";
  for (char c : name) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

// Prints the differences, or the note given in their place, and hands them
// to the front end as well; with the two copies only when both were read as
// text, so that a window never lays out what could not be compared.
void shown(RunContext& rc, const std::string& text, const char* name, bool upload,
           const char* localpath = "", const char* hostpath = "") {
  printlong(rc, nullptr, text.c_str());
  rc.frontend.difference(Difference{text, name, localpath, hostpath, upload});
}

}  // namespace

int printdiff(RunContext& rc, const char* localpath, const char* hostpath, const char* name, bool upload) {
  std::string local, host;
  int l = readcapped(localpath, &local);
  int h = readcapped(hostpath, &host);
  if (l == -2 || h == -2) {
    shown(rc, std::string("Files too large to compare: ") + name + "\n", name, upload);
    return -1;
  }
  if (l < 0 || h < 0) {
    shown(rc, std::string("Cannot compare ") + name + ": a copy is unreadable\n", name, upload);
    return -1;
  }
  if (isbinary(local) || isbinary(host)) {
    shown(rc, std::string("Binary files ") + name + " (local) and " + name + " (host) differ\n", name,
          upload);
    return -1;
  }
  std::string localname = std::string(name) + " (local)";
  std::string hostname = std::string(name) + " (host)";
  std::string diff;
  int hunks = upload ? unifieddiff(host, local, hostname, localname, &diff)
                     : unifieddiff(local, host, localname, hostname, &diff);
  shown(rc, hunks == 0 ? std::string("No line differences in ") + name + "\n" : diff, name, upload,
        localpath, hostpath);
  return hunks;
}

int showdiff(RunContext& rc, const char* localpath, const char* hostpath, const char* name, bool upload,
             const char* question) {
  for (;;) {
    printdiff(rc, localpath, hostpath, name, upload);
    int answer = remember(rc, askuser(rc, question, nullptr, "ynYNAXd"));
    if (answer == kAnswerDiff) continue;
    return answeredyes(answer) ? 1 : 0;
  }
}

std::string unpackcommand(const std::string& name) {
  struct Rule {
    std::string_view tail;
    const char* command;
  };
  static constexpr Rule kRules[] = {
      {".zip", "unzip -o "},    {".tar.gz", "tar xzf "}, {".tgz", "tar xzf "},
      {".tar.bz2", "tar xjf "}, {".tbz2", "tar xjf "},   {".tar.xz", "tar xJf "},
      {".txz", "tar xJf "},     {".tar", "tar xf "},     {".gz", "gunzip -k "},
      {".7z", "7z x "},         {".rar", "unrar x "},
  };
  for (const Rule& rule : kRules) {
    if (endswith(name, rule.tail)) return rule.command + shellquote(name);
  }
  return "";
}

int extracthint(RunContext& rc, const std::vector<std::string>& archives) {
  if (archives.empty()) return 0;
  rc.frontend.archives(archives);
  if (rc.frontend.unpacksarchives()) {
    printmsg(rc, "\nArchives that arrived (unpack them from the file list):\n");
    for (const std::string& name : archives) printmsg(rc, "   %s\n", name.c_str());
  } else {
    printmsg(rc, "\nArchives downloaded -- unpack them with:\n");
    for (const std::string& name : archives) {
      std::string command = unpackcommand(name);
      if (command.empty()) {
        printmsg(rc, "   %s  (unpack with its archiver)\n", name.c_str());
      } else {
        printmsg(rc, "   %s\n", command.c_str());
      }
    }
  }
  return static_cast<int>(archives.size());
}

}  // namespace trosk
