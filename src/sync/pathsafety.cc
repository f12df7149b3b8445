#include "sync/pathsafety.h"

#include <sys/stat.h>

#include <string>

#include "config/project.h"
#include "core/output.h"
#include "core/relpath.h"
#include "core/strutil.h"

namespace trosk {
namespace {

bool sameword(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strncmpi(a.data(), b.data(), a.size()) == 0;
}

// Cuts `head` (case ignored) from the front of `text`; false when absent.
bool cuthead(std::string_view* text, std::string_view head) {
  if (text->size() < head.size() || strncmpi(text->data(), head.data(), head.size()) != 0) {
    return false;
  }
  text->remove_prefix(head.size());
  return true;
}

// "trosk_<project>" or ".trosk_<project>" followed by one of the endings of
// the project's own files.
bool projectfile(std::string_view leaf, std::string_view project) {
  if (!cuthead(&leaf, "trosk_") && !cuthead(&leaf, ".trosk_")) return false;
  if (!cuthead(&leaf, project)) return false;
  for (std::string_view ending : {".xml", "_log.txt", "_dump.xml"}) {
    if (sameword(leaf, ending)) return true;
  }
  return false;
}

}  // namespace

int isownfile(std::string_view name, const char* project, const char* localname) {
  std::string_view first, leaf;
  int count = 0;
  components(name, [&](std::string_view part) {
    if (count++ == 0) first = part;
    leaf = part;
    return true;
  });
  if (count == 0) return 0;
  if (sameword(first, kBackupDir)) return 1;
  if (count > 1) return 0;
  for (std::string_view own :
       {std::string_view(kProjectListName), std::string_view(kProjectListName + 1),
        std::string_view(kOutputFileName), std::string_view(kVersionStamp),
        std::string_view(kStageFile), std::string_view(kDiffTemp)}) {
    if (sameword(leaf, own)) return 1;
  }
  if (projectfile(leaf, project ? project : "")) return 1;
  for (std::string_view note : {std::string_view(kTransferMark), std::string_view(kLineNote)}) {
    std::string_view rest = leaf;
    if (cuthead(&rest, note) && sameword(rest, project ? project : "")) return 1;
  }
  if (localname) {
    std::string_view local(localname);
    while (local.size() >= 2 && local[0] == '.' && isslash(local[1])) local.remove_prefix(2);
    if (sameword(leaf, local)) return 1;
  }
  return 0;
}

std::string printable(std::string_view name) {
  std::string shown(name);
  for (char& c : shown) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 32 || u == 127) c = '?';
  }
  return shown;
}

std::string dumpname(const ProjectTable& projects, const char* project, const char* localname) {
  std::string base(project ? project : "");
  for (char& c : base) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 32 || u == 127 || isslash(c) || c == ':') c = '_';
  }
  std::string name = "trosk_" + base + "_dump.xml";
  // The same text is the log name of a project called "<p>_dump"; a dump
  // must never replace a project's log.
  bool taken = findproject(projects, (base + "_dump").c_str()) >= 0;
  if (localname && sameword(name, localname)) taken = true;
  if (taken) name += ".dump";
  return name;
}

}  // namespace trosk
