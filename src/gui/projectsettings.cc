#include "gui/projectsettings.h"

#include "app/projects.h"
#include "config/options.h"
#include "config/project.h"
#include "core/fileprobe.h"
#include "core/output.h"
#include "core/runcontext.h"
#include "core/strutil.h"

namespace trosk {
namespace {

ProjectSettings settingsof(const ProjectEntry& e) {
  ProjectSettings s;
  s.name = e.name;
  s.host = e.host;
  s.user = e.user;
  s.remotedir = e.troskdir;
  s.suffix = e.suffix;
  s.source = (e.status & 0x1F) == kStatusSource;
  s.backup = e.backup != 0;
  s.release = e.release == 3 ? 0 : e.release;  // 3 is the list's placeholder word "x"
  s.session.platform = e.platform;
  if (e.access[0] == '0') s.session.access = e.access;
  return s;
}

// A context for what the window reads and writes itself: it asks through
// the window, and leaves no output file behind.
struct WindowContext : RunContext {
  explicit WindowContext(Frontend& frontend) : RunContext(frontend) { output.tofile = false; }
};

void readlist(RunContext& rc, ProjectTable& table, const std::string& dir) {
  table.clear();
  readprojects(rc, table, kProjectListName, dir.c_str());
}

// The entry of the project with exactly this name, appended when there is none.
ProjectEntry& entryof(ProjectTable& table, const std::string& name) {
  for (ProjectEntry& e : table) {
    if (name == e.name) return e;
  }
  ProjectEntry& e = table.emplace_back();
  copystr(name.c_str(), e.name, kNameSize - 1);
  e.backup = 1;
  return e;
}

void apply(const ProjectSettings& s, ProjectEntry& e) {
  copystr(s.host.c_str(), e.host, kPathSize - 1);
  copystr(s.user.c_str(), e.user, kUserSize - 1);
  copystr(s.remotedir.c_str(), e.troskdir, kPathSize - 1);
  copystr(s.suffix.c_str(), e.suffix, kSuffixSize - 1);
  copystr(s.session.platform.c_str(), e.platform, kNameSize - 1);
  copystr(s.session.access.c_str(), e.access, kPathSize - 1);
  int status = e.status & 0x1F;
  if (s.source) {
    e.status = kStatusSource;
  } else if (status == kStatusSource) {
    e.status = 0;
  }
  e.backup = s.backup ? 1 : 0;
  e.release = static_cast<uint8_t>(s.release);
}

// The list file in use in `dir`: the visible one unless only the hidden one exists.
const char* listfile(RunContext& rc, const std::string& dir) {
  const char* visible = kProjectListName + 1;
  std::string hidden = dir + "/" + kProjectListName;
  return exists(rc, (dir + "/" + visible).c_str()) == 0 && exists(rc, hidden.c_str()) == 1
             ? kProjectListName
             : visible;
}

}  // namespace

std::vector<ProjectSettings> listedprojects(const std::string& dir) {
  QuietFrontend quiet;
  WindowContext rc(quiet);
  ProjectTable table;
  readlist(rc, table, dir);
  std::vector<ProjectSettings> found;
  for (const ProjectEntry& e : table) found.push_back(settingsof(e));
  return found;
}

void checksettings(Frontend& frontend, const ProjectSettings& s) {
  std::vector<std::string> words{"trosk"};
  auto add = [&words](const char* option, const std::string& value) {
    if (value.empty()) return;
    words.emplace_back(option);
    words.push_back(value);
  };
  add("-host", s.host);
  add("-user", s.user);
  add("-remotedir", s.remotedir);
  add("-suffix", s.suffix);
  add("-port", s.session.port);
  add("-prompt", s.session.prompt);
  add("-version", s.session.version);
  add("-access", s.session.access);
  add("-platform", s.session.platform);
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  WindowContext rc(frontend);
  RunSettings scratch;
  parseoptions(rc, scratch, argv.data(), static_cast<int>(argv.size()));
}

bool savesettings(Frontend& frontend, const std::string& dir, const ProjectSettings& s) {
  WindowContext rc(frontend);
  ProjectTable table;
  readlist(rc, table, dir);
  apply(s, entryof(table, s.name));
  const char* name = listfile(rc, dir);
  std::string question = std::string("Save local settings in: ") + name + " (y/n)? ";
  if (!answeredyes(askuser(rc, question.c_str(), nullptr, "ynYN"))) return false;
  if (writeprojects(rc, table, (dir + "/" + name).c_str()) < 0) {
    warnmsg(rc, "Could not write %s", name);
    return false;
  }
  return true;
}

}  // namespace trosk
