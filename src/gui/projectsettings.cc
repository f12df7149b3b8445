#include "gui/projectsettings.h"

#include "app/projects.h"
#include "config/options.h"
#include "config/project.h"
#include "core/fileprobe.h"
#include "core/output.h"
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

void readlist() {
  projectTable.clear();
  readprojects(kProjectListName);
}

// The entry of the project with exactly this name, appended when there is none.
ProjectEntry& entryof(const std::string& name) {
  for (ProjectEntry& e : projectTable) {
    if (name == e.name) return e;
  }
  ProjectEntry& e = projectTable.emplace_back();
  copystr(name.c_str(), e.name, kNameSize - 1);
  e.hostPath = e.host;
  e.backup = 1;
  return e;
}

void apply(const ProjectSettings& s, ProjectEntry& e) {
  copystr(s.host.c_str(), e.host, kPathSize - 1);
  e.hostPath = e.host;
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

// The list file in use: the visible one unless only the hidden one exists.
const char* listfile() {
  const char* visible = kProjectListName + 1;
  return exists(visible) == 0 && exists(kProjectListName) == 1 ? kProjectListName : visible;
}

}  // namespace

std::vector<ProjectSettings> listedprojects() {
  readlist();
  std::vector<ProjectSettings> found;
  for (const ProjectEntry& e : projectTable) found.push_back(settingsof(e));
  return found;
}

void checksettings(const ProjectSettings& s) {
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
  RunSettings scratch;
  // The parser keeps pointers into the words: they must not outlive them.
  struct Reset {
    ~Reset() { resetoptions(); }
  } reset;
  parseoptions(scratch, argv.data(), static_cast<int>(argv.size()));
}

bool savesettings(const ProjectSettings& s) {
  readlist();
  apply(s, entryof(s.name));
  const char* name = listfile();
  std::string question = std::string("Save local settings in: ") + name + " (y/n)? ";
  if (!answeredyes(askuser(question.c_str(), nullptr, "ynYN"))) return false;
  if (writeprojects(name) < 0) {
    warnmsg("Could not write %s", name);
    return false;
  }
  return true;
}

}  // namespace trosk
