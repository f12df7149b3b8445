#include "gui/projectsettings.h"

#include <charconv>
#include <cstdint>
#include <string_view>

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
  s.host2 = e.host2;
  s.user = e.user;
  s.remotedir = e.troskdir;
  s.suffix = e.suffix;
  s.source = (e.status & 0x1F) == kStatusSource;
  s.backup = e.backup != 0;
  s.release = e.release == 3 ? 0 : e.release;  // 3 is the list's placeholder word "x"
  s.session.platform = e.platform;
  s.session.noaccess = e.access[0] == '0';
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
  int status = e.status & 0x1F;
  if (s.source) {
    e.status = kStatusSource;
  } else if (status == kStatusSource) {
    e.status = 0;
  }
  e.backup = s.backup ? 1 : 0;
  e.release = static_cast<uint8_t>(s.release);
}

// The number that the text is, digits only; 0 for anything else.
long positive(std::string_view text) {
  const char* last = text.data() + text.size();
  long n = 0;
  auto [end, error] = std::from_chars(text.data(), last, n);
  return !text.empty() && text[0] != '-' && error == std::errc() && end == last ? n : 0;
}

// "V" or "V/S", both numbers above 0, which the version fields can hold.
bool goodversion(std::string_view text) {
  auto fits = [](std::string_view part) {
    long n = positive(part);
    return n > 0 && n <= INT32_MAX;
  };
  std::size_t slash = text.find('/');
  if (slash == std::string_view::npos) return fits(text);
  return fits(text.substr(0, slash)) && fits(text.substr(slash + 1));
}

// The console takes a value beginning with '-' for the next option.
bool optionlike(const std::string& value) { return !value.empty() && value[0] == '-'; }

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

std::optional<SettingsProblem> findproblem(const ProjectSettings& s) {
  const SessionOptions& o = s.session;
  if (optionlike(s.host)) {
    return SettingsProblem{"host", "A host cannot begin with \"-\": give a directory path or "
                                   "a web address."};
  }
  if (long port = positive(o.port); !o.port.empty() && (port < 1 || port > kMaxPort)) {
    return SettingsProblem{"port",
                           "The port is a number from 1 to 65535; leave it empty for the default."};
  }
  if (optionlike(s.user)) {
    return SettingsProblem{"user", "A user name cannot begin with \"-\"."};
  }
  if (o.login.find(':') != std::string::npos) {
    return SettingsProblem{"login", "A login name cannot hold \":\"."};
  }
  if (o.login.empty() && !o.password.empty()) {
    return SettingsProblem{"login", "Give the login name that goes with the password."};
  }
  if (optionlike(o.platform)) {
    return SettingsProblem{"platform", "A platform name cannot begin with \"-\"."};
  }
  if (!o.version.empty() && !goodversion(o.version)) {
    return SettingsProblem{"version",
                           "The version is a number above 0, or version/subversion such as 2/3; "
                           "leave it empty for the release's version."};
  }
  return std::nullopt;
}

bool canupload(const ProjectSettings& s) {
  return s.source && (islocalpath(s.host.c_str()) || !s.host2.empty());
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
