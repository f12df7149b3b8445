#include "sync/pathsafety.h"

#include <sys/stat.h>

#include <string>
#include <vector>

#include "config/projects.h"
#include "core/output.h"
#include "core/strutil.h"

namespace trosk {
namespace {

constexpr int kEmptyName = -1;
constexpr int kAbsolute = -2;
constexpr int kDriveLetter = -3;
constexpr int kParentStep = -4;
constexpr int kControlByte = -5;

bool isslash(char c) { return c == '/' || c == '\\'; }

bool isletter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// The components of a path, '/' and '\\' both separating; empty and "."
// components say nothing about where the path leads and are dropped.
std::vector<std::string_view> components(std::string_view name) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= name.size(); ++i) {
    if (i < name.size() && !isslash(name[i])) continue;
    std::string_view part = name.substr(start, i - start);
    if (!part.empty() && part != ".") parts.push_back(part);
    start = i + 1;
  }
  return parts;
}

bool sameword(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strncmpi(a.data(), b.data(), a.size()) == 0;
}

}  // namespace

int checkrelpath(std::string_view name) {
  for (char c : name) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 32 || u == 127) return kControlByte;
  }
  if (name.empty()) return kEmptyName;
  if (isslash(name[0])) return kAbsolute;
  if (name.size() >= 2 && isletter(name[0]) && name[1] == ':') return kDriveLetter;
  std::vector<std::string_view> parts = components(name);
  if (parts.empty()) return kEmptyName;
  for (std::string_view part : parts) {
    if (part == "..") return kParentStep;
  }
  return 0;
}

const char* unsafereason(int code) {
  switch (code) {
    case kEmptyName: return "empty name";
    case kAbsolute: return "absolute path";
    case kDriveLetter: return "drive letter";
    case kParentStep: return "parent directory step";
    case kControlByte: return "control character";
    default: return "unsafe name";
  }
}

int isownfile(std::string_view name, const char* project, const char* localname) {
  std::vector<std::string_view> parts = components(name);
  if (parts.empty()) return 0;
  if (sameword(parts[0], kBackupDir)) return 1;
  if (parts.size() > 1) return 0;
  std::string_view leaf = parts[0];
  std::string p(project ? project : "");
  const std::string own[] = {
      kProjectListName,      kProjectListName + 1,   kOutputFileName,
      kVersionStamp,         kStageFile,             kDiffTemp,
      "trosk_" + p + ".xml", ".trosk_" + p + ".xml", "trosk_" + p + "_log.txt",
      "trosk_" + p + "_dump.xml",
  };
  for (const std::string& o : own) {
    if (sameword(leaf, o)) return 1;
  }
  if (localname) {
    std::vector<std::string_view> local = components(localname);
    if (local.size() == 1 && sameword(leaf, local[0])) return 1;
  }
  return 0;
}

int linkfree(std::string_view relpath) {
  std::string prefix;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= relpath.size(); ++i) {
    if (i < relpath.size() && relpath[i] != '/') continue;
    std::string_view part = relpath.substr(start, i - start);
    start = i + 1;
    if (part.empty() || part == ".") continue;
    if (!prefix.empty()) prefix += '/';
    prefix.append(part);
    struct stat st;
    if (lstat(prefix.c_str(), &st) != 0) return 1;  // nothing further exists to lead elsewhere
    if (S_ISLNK(st.st_mode)) return 0;
  }
  return 1;
}

std::string printable(std::string_view name) {
  std::string shown(name);
  for (char& c : shown) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 32 || u == 127) c = '?';
  }
  return shown;
}

std::string dumpname(const char* project, const char* localname) {
  std::string base(project ? project : "");
  for (char& c : base) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 32 || u == 127 || isslash(c) || c == ':') c = '_';
  }
  std::string name = "trosk_" + base + "_dump.xml";
  // The same text is the log name of a project called "<p>_dump"; a dump
  // must never replace a project's log.
  bool taken = findproject((base + "_dump").c_str()) >= 0;
  if (localname && sameword(name, localname)) taken = true;
  if (components(name).size() != 1 || components(name)[0] != name) taken = true;
  if (taken) name += ".dump";
  return name;
}

}  // namespace trosk
