#include "app/driver.h"

#include <cstring>
#include <string>

#include "app/projects.h"
#include "config/banner.h"
#include "core/fileprobe.h"
#include "core/frontend.h"
#include "core/output.h"
#include "core/strutil.h"
#include "core/timer.h"
#include "net/fetch.h"
#include "net/netrun.h"
#include "repo/hostops.h"
#include "sync/syncproject.h"

namespace trosk {
namespace {

constexpr int kSingleProjectOps = CMD_INIT | CMD_VERIFY | CMD_CURRENT;
constexpr int kRunOps = CMD_DOWNLOAD | CMD_STATUS | CMD_ZIP | CMD_DISPLAY;

void applyoverrides(ProjectEntry& e, const RunSettings& s) {
  if (s.platform) copystr(s.platform, e.platform, kNameSize - 1);
  if (s.source != 0) e.status = s.source > 0 ? kStatusSource : 0;
  if (s.hostName) e.hostPath = s.hostName;
  if (s.localHost) copystr(s.localHost, e.host2, kPathSize - 1);
}

// Uploads write the host directly: switch to host2 when the host in use is
// not a reachable local path.
void checkupload(ProjectEntry& e) {
  if ((e.status & 0x1F) != kStatusSource) errormsg(rc, "Can only upload files from project 'source'");
  const char* target = e.hostPath ? e.hostPath : "";
  if ((!islocalpath(target) || exists(target) == 0) && e.host2[0]) {
    target = e.host2;
    e.status |= kStatusHost2;
  }
  if (!islocalpath(target)) errormsg(rc, "Need direct local host path (-Host) to trosk dir to add files");
}

// A project's turn of the loop owns its HTTP connection: it is closed when
// the turn ends, an error unwinding through it included.
struct ConnectionScope {
  ProjectEntry& entry;
  ~ConnectionScope() { closeconnection(&entry.connection); }
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

void offertosave(int flags) {
  const char* name = (flags & CMD_HIDDEN) ? kProjectListName : kProjectListName + 1;
  if (!(flags & CMD_INIT)) {
    std::string question = std::string("Save local settings in: ") + name + " (y/n)? ";
    if (!answeredyes(askuser(rc, question.c_str(), nullptr, "ynYN"))) return;
  }
  if (writeprojects(name) < 0) warnmsg(rc, "Could not write %s", name);
}

}  // namespace

void beginrun() {
  closeoutput();
  timerinit();
  timerreset();
  frontend().caption("");
}

int DoTrosk(int first, int count, int flags, RunSettings& settings) {
  if (count > 1 && ((flags & kSingleProjectOps) || settings.version || settings.subversion)) count = 1;
  rc.promptLevel &= ~(kPromptAllYes | kPromptAllNo);  // "A" and "X" last for one run
  settings.notUpdated = 0;
  NetRun net(settings.caFile, owncredential(settings));
  int total = 0;
  for (int i = first; i < first + count && i < static_cast<int>(projectTable.size()); ++i) {
    ProjectEntry& entry = projectTable[i];
    ConnectionScope connection{entry};
    if (rc.verboseLevel) printmsg(rc, "DoTrosk: %s %d\n", entry.name, entry.connection);
    applyoverrides(entry, settings);
    if (flags & CMD_UPLOAD) checkupload(entry);
    if (hostsideoperation(flags, settings)) {
      total = addfiles(settings, entry, settings.version, settings.subversion, flags);
    } else {
      total += syncproject(settings, entry, flags, settings.version, settings.subversion);
    }
  }
  if (settings.listChanged && total > 0) offertosave(flags);
  frontend().caption("");
  // A run that could not do all it set out to do must not end as if it had.
  if (settings.notUpdated > 0) {
    errormsg(rc, "Files not updated: %s", std::to_string(settings.notUpdated).c_str());
  }
  return 0;
}

int runcommandline(int argc, char** argv) {
  beginrun();
  int flags = parseoptions(runSettings, argv, argc);
  if (runSettings.peerMode == 0) showbanner();
  int index = selectproject(runSettings);
  if (!(flags & kRunOps)) flags |= CMD_STATUS;
  int count = runSettings.projectName ? 1 : runSettings.projectCount - index;
  DoTrosk(index, count, flags, runSettings);
  printmsg(rc, "\n");
  if (rc.verboseLevel != 0) timerlog(rc, -1, 0, nullptr);
  return 0;
}

}  // namespace trosk
