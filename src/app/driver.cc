#include "app/driver.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "app/projects.h"
#include "config/banner.h"
#include "core/fileprobe.h"
#include "core/output.h"
#include "core/progress.h"
#include "core/runerror.h"
#include "core/strutil.h"
#include "core/timer.h"
#include "net/fetch.h"
#include "repo/hostops.h"
#include "sync/syncproject.h"

namespace trosk {
namespace {

constexpr int kSingleProjectOps = CMD_INIT | CMD_VERIFY | CMD_CURRENT;
constexpr int kRunOps = CMD_DOWNLOAD | CMD_STATUS | CMD_ZIP | CMD_DISPLAY;

// What the settings change in the list entry itself, and so in a list saved
// after the run (-host is for this run only: see resolve).
void applyoverrides(ProjectEntry& e, const RunSettings& s) {
  if (s.platform) copystr(s.platform, e.platform, kNameSize - 1);
  if (s.source != 0) e.status = s.source > 0 ? kStatusSource : 0;
  if (s.localHost) copystr(s.localHost, e.host2, kPathSize - 1);
  if (s.signKey) copystr(s.signKey, e.signkey, kPathSize - 1);
}

// Uploads write the host directly: switch to host2 when the host in use is
// not a reachable local path.
void checkupload(RunContext& rc, ProjectRun& p, const RunSettings& s) {
  const ProjectEntry& e = p.entry;
  if ((e.status & 0x1F) != kStatusSource) {
    errormsg(rc, "Can only upload files from project 'source'");
  }
  const char* target = s.hostName ? s.hostName : e.host;
  if ((!islocalpath(target) || exists(rc, target) == 0) && e.host2[0]) {
    target = e.host2;
    p.onhost2 = true;
  }
  if (!islocalpath(target)) {
    errormsg(rc, "Need direct local host path (-Host) to trosk dir to add files");
  }
}

// The project's turn as the run sees it, resolved once: every layer reads it.
void resolve(ProjectRun& p, const RunSettings& s) {
  const ProjectEntry& e = p.entry;
  p.hostroot = p.onhost2 ? e.host2 : s.hostName ? s.hostName : e.host;
  p.host = s.hostName ? s.hostName : p.hostroot;
  p.user = s.userName ? s.userName : e.user;
  if (s.accessToken && s.accessToken[0]) {
    p.credential = std::string("Authorization: Basic ") + s.accessToken;
    p.credential.resize(std::min(p.credential.size(), std::size_t{kPathSize - 1}));
  }
  const char* troskdir = s.remoteDir ? s.remoteDir : e.troskdir;
  p.troskdir = troskdir[0] ? troskdir : "trosk";
  p.backup = s.backup >= 0 ? s.backup : e.backup;
  p.release = s.release ? s.release : e.release;
}

// A project's turn of the loop owns its HTTP connection: it is closed when
// the turn ends, an error unwinding through it included.
struct ConnectionScope {
  Run& run;
  ProjectRun& project;
  ~ConnectionScope() { closeconnection(run.context, run.net, &project.connection); }
};

bool hostsideoperation(int flags, const RunSettings& s) {
  return s.addCount >= 1 || ((flags & CMD_UPLOAD) && (flags & CMD_INIT)) || (flags & CMD_CURRENT);
}

// A credential of the user's own: an -access token other than the built-in
// one, or a password given with -user name:password.
bool owncredential(const RunSettings& s) {
  bool token = s.accessToken && std::strcmp(s.accessToken, kBuiltinCredential) != 0;
  return token || (s.userName && std::strchr(s.userName, ':'));
}

const char* listname(const Run& run) {
  return (run.flags & CMD_HIDDEN) ? kProjectListName : kProjectListName + 1;
}

void savelist(Run& run) {
  const char* name = listname(run);
  if (writeprojects(run.context, run.projects, name) < 0) warnmsg(run.context, "Could not write %s", name);
}

void offertosave(Run& run) {
  if (!(run.flags & CMD_INIT)) {
    std::string question = std::string("Save local settings in: ") + listname(run) + " (y/n)? ";
    if (!answeredyes(askuser(run.context, question.c_str(), nullptr, "ynYN"))) return;
  }
  savelist(run);
}

// One project's turn. Returns what it adds to the run's total (the host-side
// operation's result replaces the total: see DoTrosk).
int turn(Run& run, ProjectEntry& entry, int* total, int* notUpdated, bool* trusted) {
  RunContext& rc = run.context;
  // Before anything of the turn is printed or asked: a window names the
  // project its questions and rows belong to.
  rc.frontend.projectstart(entry.name);
  const RunSettings& settings = run.settings;
  ProjectRun project(entry);
  ConnectionScope connection{run, project};
  if (rc.verboseLevel) printmsg(rc, "DoTrosk: %s %d\n", entry.name, project.connection);
  applyoverrides(entry, settings);
  if (run.flags & CMD_UPLOAD) checkupload(rc, project, settings);
  resolve(project, settings);
  if (hostsideoperation(run.flags, settings)) {
    *total = addfiles(rc, settings, project, settings.version, settings.subversion, run.flags);
  } else {
    *total += syncproject(run, project, run.flags, settings.version, settings.subversion);
  }
  *notUpdated += project.notUpdated;
  *trusted = *trusted || project.trustchanged;
  return 0;
}

}  // namespace

int DoTrosk(Run& run, int first, int count) {
  RunContext& rc = run.context;
  RunSettings& settings = run.settings;
  if (count > 1 && ((run.flags & kSingleProjectOps) || settings.version || settings.subversion)) {
    count = 1;
  }
  run.net.cafile = settings.caFile ? settings.caFile : "";
  run.net.inflight = settings.pipeline > 0 ? settings.pipeline : kDefaultInflight;
  run.net.owncredential = owncredential(settings);
  int total = 0, notUpdated = 0;
  bool trusted = false;
  for (int i = first; i < first + count && i < static_cast<int>(run.projects.size()); ++i) {
    if (rc.cancelled()) throw RunError::cancelled();
    turn(run, run.projects[i], &total, &notUpdated, &trusted);
  }
  // The user has said yes to the key already: the list records it unasked.
  if (trusted) {
    savelist(run);
  } else if (settings.listChanged && total > 0) {
    offertosave(run);
  }
  setcaption(rc, "");
  // A run that could not do all it set out to do must not end as if it had.
  if (notUpdated > 0) errormsg(rc, "Files not updated: %s", std::to_string(notUpdated).c_str());
  return 0;
}

int runcommandline(Run& run, int argc, char** argv) {
  RunContext& rc = run.context;
  setcaption(rc, "");
  run.flags = parseoptions(rc, run.settings, argv, argc);
  rc.meter.enabled = run.settings.progressBar != 0;
  if (run.settings.peerMode == 0) showbanner(rc);
  int index = selectproject(run);
  if (!(run.flags & kRunOps)) run.flags |= CMD_STATUS;
  int count = run.settings.projectName ? 1 : run.settings.projectCount - index;
  DoTrosk(run, index, count);
  printmsg(rc, "\n");
  if (rc.verboseLevel != 0) timerlog(rc, -1, 0, nullptr);
  return 0;
}

}  // namespace trosk
