#include "sync/syncproject.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "config/banner.h"
#include "core/fileprobe.h"
#include "core/output.h"
#include "core/strutil.h"
#include "net/fetch.h"
#include "net/webhost.h"
#include "repo/catalogue.h"
#include "repo/hostlock.h"
#include "repo/hostlog.h"
#include "repo/hostpaths.h"
#include "sync/logdoc.h"
#include "sync/pathsafety.h"
#include "sync/statahead.h"
#include "sync/verify.h"
#include "xml/xmlvalues.h"
#include "xml/xmlwrite.h"

namespace trosk {

namespace {

constexpr int kDefaultPort = 80;

// What one run has chosen: where the host is and who asks.
struct Choice {
  char host[kPathSize] = {};
  int port = 0;
  const char* user = nullptr;
  std::string authLine;  // "Authorization: Basic <token>", or empty
  const char* credential = nullptr;
  HostPaths paths;
  char localname[kPathSize] = {};
  int stable = 1, beta = 0, alpha = 0;
  int haveV = 0, haveS = 0;
  int wantV = 0, wantS = 0;
  std::string catalogue;
  Remote remote(ProjectEntry& entry) const {
    return Remote{host, port, credential, &entry.connection};
  }
};

void sethost(Choice& c, const char* host) {
  char copy[kPathSize];
  copystr(host && host[0] ? host : kDefaultHost, copy, kPathSize - 1);
  std::memcpy(c.host, copy, sizeof copy);
}

// The port a web host text carries ("name:port", "http://name:port/base"),
// or 0 when it carries none.
int textport(const char* host) {
  WebHost web;
  if (islocalpath(host) || parsehost(host, &web) != 0) return 0;
  return web.port;
}

// -port first, then a port written in the host text, the project's, 80.
void setport(Choice& c, const RunSettings& settings, const ProjectEntry& entry) {
  int fromtext = textport(c.host);
  int remembered = static_cast<uint16_t>(entry.port);  // ports above 32767 are kept in 16 bits
  c.port = settings.port ? settings.port
           : fromtext    ? fromtext
           : remembered  ? remembered
                         : kDefaultPort;
}

int showactivitylog(const ProjectEntry& entry) {
  std::string name = std::string("trosk_") + entry.name + "_log.txt";
  std::string text;
  if (getfile(Remote{".", 0, nullptr, nullptr}, name.c_str(), CMD_DISPLAY, &text, nullptr) <= 0) {
    printmsg(rc, "File not found: %s\n", name.c_str());
  } else {
    printlong(rc, nullptr, text.c_str());
  }
  return 0;
}

// The local log's name: the undotted form is preferred when it exists.
// Returns 1 when a log file exists under the chosen name.
int findlocallog(const RunSettings& settings, const ProjectEntry& entry, Choice& c) {
  if (settings.localLogName) {
    copystr(settings.localLogName, c.localname, kPathSize - 1);
  } else {
    std::snprintf(c.localname, sizeof c.localname, ".trosk_%s.xml", entry.name);
  }
  if (c.localname[0] == '.' && exists(c.localname + 1) == 1) {
    std::memmove(c.localname, c.localname + 1, std::strlen(c.localname));
    return 1;
  }
  return exists(c.localname) == 1;
}

// Makes a new local log, or returns 0 when the user does not want one.
int newlocallog(Choice& c, LogDoc& local, int* flags) {
  if (*flags != CMD_DISPLAY && !(*flags & CMD_INIT)) {
    int answer = askuser(rc, "Local project log not found. Create new? (y/n): ", nullptr, "ynYN");
    if (!answeredyes(answer)) return 0;
  }
  *flags |= CMD_INIT;
  local.fresh(c.stable);
  if ((*flags & (CMD_DOWNLOAD | CMD_STATUS)) && !(*flags & CMD_UPLOAD)) *flags |= CMD_ZIP;
  if (c.localname[0] == '.' && !(*flags & CMD_HIDDEN)) {
    std::memmove(c.localname, c.localname + 1, std::strlen(c.localname));
  }
  return 1;
}

// A run that only lists the differences reads both logs as tables, which
// hold what the comparison reads in a fraction of a tree's memory; the
// diagnostics of a verbose run come from the trees.
bool listsonly(int flags) {
  return (flags & CMD_STATUS) &&
         !(flags & (CMD_DOWNLOAD | CMD_VERIFY | CMD_DISPLAY | CMD_UPLOAD)) && rc.verboseLevel == 0;
}

void readlocallog(const RunSettings& settings, Choice& c, LogDoc& local, int flags) {
  if (local.load(c.localname, listsonly(flags) ? kReadIndex : 0) < 0)
    errormsg(rc, "error reading file: %s", c.localname);
  char host[kPathSize];
  local.text("host", host, sizeof host);
  if (!settings.hostName && host[0]) sethost(c, host);
  c.haveV = local.number("pversion", 0);
  c.haveS = local.number("subversion", 0);
}

// The catalogue's numbers and the checks on them. Returns 1 to go on, 0
// when the project is skipped.
int checkcatalogue(RunSettings& settings, ProjectEntry& entry, Choice& c) {
  if (!settings.catalogueName) settings.catalogueName = kCatalogueName;
  LogDoc catalogue;
  Remote remote = c.remote(entry);
  int got = catalogue.fetch(remote, c.catalogue.c_str());
  if (got < 0 && !settings.hostName && entry.host2[0]) {
    entry.status |= kStatusHost2;
    sethost(c, entry.host2);
    remote = c.remote(entry);
    got = catalogue.fetch(remote, c.catalogue.c_str());
  }
  if (got < 0) return 1;
  VersionCatalogue cat = readcatalogue(catalogue.top(), entry);
  XmlNode* project = cat.project;
  c.alpha = cat.alpha;
  c.beta = cat.beta;
  c.stable = cat.stable;
  // Read as a decimal: a project that needs 1.25 must stop a 1.19 program.
  char needed[64];
  xmlgettext(project, "troskversion", needed, sizeof needed);
  float required = needed[0] ? std::strtof(needed, nullptr) : 0.0f;
  if (required > 0 && required > programVersion) {
    warnmsg(rc, "This project requires Trosk version %s", needed);
    return 0;
  }
  if (!useraccess(project, c.user)) {
    warnmsg(rc, "Unauthorized user for project %s -- Access denied", entry.name);
    return 0;
  }
  return 1;
}

// Picks the version to compare with. Returns 1 to go on, 0 to skip.
int chooseversion(RunSettings& settings, ProjectEntry& entry, Choice& c, int flags) {
  const char* catalogue = settings.catalogueName ? settings.catalogueName : kCatalogueName;
  c.catalogue = "/" + c.paths.hostTroskDir + "/" + entry.name + "/" + catalogue;
  if (flags & CMD_VERIFY) {
    c.wantV = c.haveV;
    c.wantS = c.haveS;
  } else if (!checkcatalogue(settings, entry, c)) {
    return 0;
  }
  if (c.wantV == 0) {
    int release = settings.release ? settings.release : entry.release;
    c.wantV = (release & kReleaseAlpha) ? c.alpha : (release & kReleaseBeta) ? c.beta : c.stable;
    if (c.wantV == 0) {
      errormsg(rc, "can't identify requested version in remote file: %s", c.catalogue.c_str());
    }
  }
  return 1;
}

void printheader(const ProjectEntry& entry, const Choice& c, int flags) {
  if (!((flags & CMD_STATUS) && !(flags & CMD_REPORT_ONLY)) && !(showMode & SHOW_VERSIONS)) return;
  printmsg(rc, "\nProject: %s     Host: %s\n", entry.name, c.host);
  printmsg(outStream,
           "Current versions:  Stable= %d  Beta= %d  Alpha= %d, Have= %d/%d  Want= %d/%d\n",
           c.stable, c.beta, c.alpha, c.haveV, c.haveS, c.wantV, c.wantS);
  if (flags & CMD_LIST_ALL) {
    printmsg(rc, " Local: Host=%s Port=%d User=<%s> Vf=<%s>\n", c.host, c.port,
             c.user ? c.user : "", c.localname);
  }
}

int showversions(ProjectEntry& entry, const Choice& c) {
  std::string path = "/" + c.paths.hostTroskDir + "/" + entry.name + "/versionlog.txt";
  std::string text;
  if (getfile(c.remote(entry), path.c_str(), CMD_DISPLAY, &text, nullptr) <= 0) {
    printcause(rc);
    errormsg(rc, "Error reading file: %s", path.c_str());
  }
  printmsg(rc, "\nRemote Log:\n");
  printlong(rc, nullptr, text.c_str());
  return 0;
}

std::string hostlogpath(const Choice& c, const ProjectEntry& entry, int subversion) {
  std::string path = "/" + c.paths.versionPath + "/trosk_" + entry.name;
  if (subversion != 0) path += "_" + std::to_string(subversion);
  return path + ".xml";
}

// The verification pass over the version the working directory has.
// Returns the entries updated, or the negative fetch result.
int verifyhave(ProjectEntry& entry, Choice& c, LogDoc& local, int flags) {
  setversionpath(c.paths, entry, c.haveV);
  Remote remote = c.remote(entry);
  LogDoc host;
  std::string path = hostlogpath(c, entry, c.haveS);
  int got = host.fetch(remote, path.c_str());
  if (got < 0) {
    path = hostlogpath(c, entry, 0);
    got = host.fetch(remote, path.c_str());
  }
  if (got < 0) {
    printmsg(rc, "Verify error reading remote log file: %s\n", path.c_str());
    return got;
  }
  return verify(entry, c.paths, c.haveV, c.haveS, host.top(), local.top(), flags | CMD_VERIFY,
                c.localname, &remote);
}

int dump(ProjectEntry& entry, const Choice& c, const std::string& path) {
  std::string name = dumpname(entry.name, c.localname);
  int flags = kFetchToFile | CMD_DISPLAY | ((showMode & SHOW_WEBHDR) ? kFetchKeepHeader : 0);
  if (getfile(c.remote(entry), path.c_str(), flags, nullptr, name.c_str()) <= 0) {
    printcause(rc);
    errormsg(rc, "Error reading remote file: %s", path.c_str());
  }
  printmsg(rc, "Host log written to: %s\n", name.c_str());
  return -1;
}

// An upload writes the host directly: it holds the host lock from before it
// reads the host's log until the new one is published, reads that log from
// the host it writes, puts right what an interrupted writer left, and
// compares each file with the host log of the version the working directory
// has, so that it never sends back a file that only changed on the host.
int upload(RunSettings& settings, ProjectEntry& entry, Choice& c, LogDoc& local, int flags) {
  const char* root = (entry.status & kStatusHost2) ? entry.host2 : entry.hostPath;
  std::string projectdir = trosk::projectdir(root, c.paths, entry);
  HostLock lock(projectdir);
  Remote direct{root, 0, nullptr, nullptr};
  std::string path = hostlogpath(c, entry, c.wantS);
  LogDoc hostlog;
  if (hostlog.fetch(direct, path.c_str()) < 0) causederror(rc, "Error reading remote log file: %s", path.c_str());
  std::string versiondir = std::string(root) + "/" + c.paths.versionPath;
  repairversion(projectdir, versiondir, entry.name, c.wantV, hostlog.top());
  // Only read: a table serves.
  LogDoc base;
  bool based = false;
  if (c.haveV == c.wantV && c.haveS > 0) {
    std::string basepath = hostlogpath(c, entry, c.haveS);
    based = base.fetch(direct, basepath.c_str(), kReadIndex) >= 0;
  }
  Outcome outcome;
  verify(entry, c.paths, c.wantV, c.wantS, hostlog.top(), local.top(), flags, c.localname, &direct,
         based ? &base : nullptr, &outcome, settings.maxFiles);
  settings.notUpdated += outcome.notUpdated;
  return 1;
}

// The entry's authorisation line points into the run's choice while the run
// lasts, and at nothing afterwards.
struct AuthHeaderScope {
  ProjectEntry& entry;
  ~AuthHeaderScope() { entry.authHeader = nullptr; }
};

}  // namespace

int syncproject(RunSettings& settings, ProjectEntry& entry, int flags, int version,
                int subversion) {
  Choice c;
  c.wantV = version;
  c.wantS = subversion;
  if (settings.accessToken && settings.accessToken[0]) {
    c.authLine = std::string("Authorization: Basic ") + settings.accessToken;
    c.authLine.resize(std::min(c.authLine.size(), std::size_t{kPathSize - 1}));
    c.credential = c.authLine.c_str();
  }
  c.paths = hostpaths(settings, entry);
  int backup = settings.backup >= 0 ? settings.backup : entry.backup;
  const char* host = settings.hostName;
  if (!host) host = (entry.status & kStatusHost2) ? entry.host2 : entry.hostPath;
  sethost(c, host);
  setport(c, settings, entry);
  c.user = settings.userName ? settings.userName : entry.user;
  if (showMode & SHOW_LOG) return showactivitylog(entry);
  AuthHeaderScope scope{entry};
  if (!entry.authHeader) entry.authHeader = c.credential;

  LogDoc local;
  std::unique_ptr<StatAhead> ahead;
  if (findlocallog(settings, entry, c)) {
    readlocallog(settings, c, local, flags);
    // The files it names are measured while the host's log is read.
    if (local.tabled) ahead = std::make_unique<StatAhead>(local.table.files);
  } else if (!newlocallog(c, local, &flags)) {
    return 0;
  }
  // Also for a new log: a version the entry brought from the project list
  // would keep the comparison from recording the version fetched.
  entry.version = c.haveV;
  entry.subversion = c.haveS;
  setport(c, settings, entry);
  if (!entry.hostPath) entry.hostPath = entry.host;
  if (!entry.hostPath[0]) {
    copystr(c.host, entry.host, kPathSize - 1);
    entry.hostPath = entry.host;
  }
  if (entry.port == 0) entry.port = static_cast<int16_t>(c.port);

  if (!chooseversion(settings, entry, c, flags)) return 0;
  if (rc.verboseLevel) {
    printmsg(rc, "host=<%s> port=%d tkdir=<%s> project=<%s> want=%d/%d\n", c.host, c.port,
             c.paths.hostTroskDir.c_str(), entry.name, c.wantV, c.wantS);
  }
  printheader(entry, c, flags);
  if (showMode & SHOW_VERSIONS) return showversions(entry, c);
  if (c.wantS > 0 && (flags & CMD_UPLOAD)) errormsg(rc, "can't specify subversion on upload");

  bool differ = c.wantV != c.haveV || c.wantS != c.haveS;
  // An upload keeps the local log as it is: its entries tell what the
  // working directory last shared with the host.
  if ((flags & CMD_VERIFY) || ((flags & CMD_DOWNLOAD) && !settings.noVerify && differ &&
                               c.haveS != 0 && !isupload(entry, flags))) {
    int updated = verifyhave(entry, c, local, flags);
    if (flags & CMD_VERIFY) {
      printmsg(rc, "Verified local log file -- %d entries updated\n", updated);
      return 1;
    }
  }

  setversionpath(c.paths, entry, c.wantV);
  std::string path = hostlogpath(c, entry, c.wantS);
  if (flags & CMD_DISPLAY) return dump(entry, c, path);
  if (isupload(entry, flags)) return upload(settings, entry, c, local, flags);
  Remote remote = c.remote(entry);
  LogDoc hostlog;
  if (hostlog.fetch(remote, path.c_str(), local.tabled ? kReadEntries : 0) < 0) {
    printcause(rc);
    errormsg(rc, "Error reading remote log file: %s", path.c_str());
  }
  if (backup != 0) flags |= CMD_BACKUP;
  if (hostlog.tabled) {
    verifystatus(entry, c.paths, c.wantV, c.wantS, hostlog.table, local.table, flags, c.localname,
                 ahead.get(), settings.maxFiles);
    return 1;
  }
  Outcome outcome;
  verify(entry, c.paths, c.wantV, c.wantS, hostlog.top(), local.top(), flags, c.localname,
         &remote, nullptr, &outcome, settings.maxFiles);
  settings.notUpdated += outcome.notUpdated;
  return 1;
}

}  // namespace trosk
