#include "sync/syncproject.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "config/banner.h"
#include "core/cause.h"
#include "core/fileprobe.h"
#include "core/output.h"
#include "core/strutil.h"
#include "net/fetch.h"
#include "net/webhost.h"
#include "repo/catalogue.h"
#include "repo/hostlock.h"
#include "repo/hostlog.h"
#include "repo/hostpaths.h"
#include "repo/sharedbase.h"
#include "repo/signing.h"
#include "repo/versionlog.h"
#include "sync/hosttrust.h"
#include "sync/logdoc.h"
#include "sync/pathsafety.h"
#include "sync/statahead.h"
#include "sync/verify.h"
#include "xml/xmlvalues.h"
#include "xml/xmlwrite.h"

namespace trosk {

namespace {

constexpr int kDefaultPort = 80;

// What one project's synchronisation finds on its way: where the project
// lies on the host, the local log, and the versions.
struct Sync {
  Sync(Run& r, ProjectRun& p) : run(r), rc(r.context), settings(r.settings), project(p) {}

  Run& run;
  RunContext& rc;
  const RunSettings& settings;
  ProjectRun& project;
  HostPaths paths;
  char localname[kPathSize] = {};
  int stable = 1, beta = 0, alpha = 0;
  int haveV = 0, haveS = 0;
  int wantV = 0, wantS = 0;
  std::string catalogue;
  std::string signer;  // the trusted key of a signed host (PEM); empty when unsigned

  const char* name() const { return project.entry.name; }
  // Where the files of the host in use are read.
  Remote remote() {
    return Remote{project.host.c_str(), project.port, project.credentialline(),
                  &project.connection, &run.net};
  }
};

void sethost(ProjectRun& project, const char* host) {
  char copy[kPathSize];
  copystr(host && host[0] ? host : kDefaultHost, copy, kPathSize - 1);
  project.host = copy;
}

// The port a web host text carries ("name:port", "http://name:port/base"),
// or 0 when it carries none.
int textport(const std::string& host) {
  WebHost web;
  if (islocalpath(host.c_str()) || parsehost(host.c_str(), &web) != 0) return 0;
  return web.port;
}

// -port first, then a port written in the host text, then 80.
void setport(Sync& s) {
  int fromtext = textport(s.project.host);
  s.project.port = s.settings.port ? s.settings.port : fromtext ? fromtext : kDefaultPort;
}

int showactivitylog(Sync& s) {
  std::string name = std::string("trosk_") + s.name() + "_log.txt";
  std::string text;
  if (getfile(s.rc, Remote{".", 0, nullptr, nullptr, nullptr}, name.c_str(), CMD_DISPLAY, &text,
              nullptr) <= 0) {
    printmsg(s.rc, "File not found: %s\n", name.c_str());
  } else {
    printlong(s.rc, nullptr, text.c_str());
  }
  return 0;
}

// The local log's name: the undotted form is preferred when it exists.
// Returns 1 when a log file exists under the chosen name.
int findlocallog(Sync& s) {
  if (s.settings.localLogName) {
    copystr(s.settings.localLogName, s.localname, kPathSize - 1);
  } else {
    std::snprintf(s.localname, sizeof s.localname, ".trosk_%s.xml", s.name());
  }
  if (s.localname[0] == '.' && exists(s.rc, s.localname + 1) == 1) {
    std::memmove(s.localname, s.localname + 1, std::strlen(s.localname));
    return 1;
  }
  return exists(s.rc, s.localname) == 1;
}

// Makes a new local log, or returns 0 when the user does not want one.
int newlocallog(Sync& s, LogDoc& local, int* flags) {
  if (*flags != CMD_DISPLAY && !(*flags & CMD_INIT)) {
    int answer = askuser(s.rc, "Local project log not found. Create new? (y/n): ", nullptr, "ynYN");
    if (!answeredyes(answer)) return 0;
  }
  *flags |= CMD_INIT;
  local.fresh(s.stable);
  if ((*flags & (CMD_DOWNLOAD | CMD_STATUS)) && !(*flags & CMD_UPLOAD)) *flags |= CMD_ZIP;
  if (s.localname[0] == '.' && !(*flags & CMD_HIDDEN)) {
    std::memmove(s.localname, s.localname + 1, std::strlen(s.localname));
  }
  return 1;
}

// A run that only lists the differences reads both logs as tables, which
// hold what the comparison reads in a fraction of a tree's memory; the
// diagnostics of a verbose run come from the trees.
bool listsonly(const Sync& s, int flags) {
  return (flags & CMD_STATUS) &&
         !(flags & (CMD_DOWNLOAD | CMD_VERIFY | CMD_DISPLAY | CMD_UPLOAD)) &&
         s.rc.verboseLevel == 0;
}

// An upload rewrites a few entries of the two logs it reads: read as
// tables, each keeps the entries it leaves alone as their text, and is
// written back from it (a log not exactly as written is read as a tree).
bool editsonly(const Sync& s, int flags) {
  return isupload(s.project.entry, flags) && s.rc.verboseLevel == 0;
}

// A log read as a table has its files measured ahead, from its text, while
// the table is read and the host's log after it.
void readlocallog(Sync& s, LogDoc& local, int flags, std::unique_ptr<StatAhead>& ahead) {
  auto measure = [&ahead](std::string_view text) { ahead = std::make_unique<StatAhead>(text); };
  int table = listsonly(s, flags) ? kReadIndex : editsonly(s, flags) ? kReadIndex | kReadEdit : 0;
  if (local.load(s.rc, s.localname, table, measure) < 0)
    errormsg(s.rc, "error reading file: %s", s.localname);
  if (!local.tabled) ahead.reset();
  char host[kPathSize];
  local.text("host", host, sizeof host);
  if (!s.settings.hostName && host[0]) sethost(s.project, host);
  s.haveV = local.number("pversion", 0);
  s.haveS = local.number("subversion", 0);
}

// The key the host in use is signed with, and whether it is trusted.
void trust(Sync& s) {
  std::string projectpath = "/" + s.paths.hostTroskDir + "/" + s.name();
  s.signer = trusthost(s.rc, s.remote(), projectpath, s.project, s.settings.trustPrint);
}

// The catalogue's numbers and the checks on them. Returns 1 to go on, 0
// when the project is skipped.
int checkcatalogue(Sync& s) {
  ProjectRun& project = s.project;
  const ProjectEntry& entry = project.entry;
  LogDoc catalogue;
  int got = catalogue.fetch(s.rc, s.remote(), s.catalogue.c_str());
  if (got < 0 && !s.settings.hostName && entry.host2[0]) {
    // The host in use cannot be read: the direct host2 serves instead.
    project.onhost2 = true;
    project.hostroot = entry.host2;
    sethost(project, entry.host2);
    got = catalogue.fetch(s.rc, s.remote(), s.catalogue.c_str());
  }
  trust(s);
  if (got >= 0 && !s.signer.empty()) got = catalogue.fetch(s.rc, s.remote(), s.catalogue.c_str(), 0, s.signer);
  if (got < 0) return 1;
  VersionCatalogue cat = readcatalogue(catalogue.top(), entry);
  XmlNode* section = cat.project;
  s.alpha = cat.alpha;
  s.beta = cat.beta;
  s.stable = cat.stable;
  // Read as a decimal: a project that needs 1.25 must stop a 1.19 program.
  char needed[64];
  xmlgettext(section, "troskversion", needed, sizeof needed);
  float required = needed[0] ? std::strtof(needed, nullptr) : 0.0f;
  if (required > 0 && required > programVersion) {
    warnmsg(s.rc, "This project requires Trosk version %s", needed);
    return 0;
  }
  if (!useraccess(section, project.user.c_str())) {
    warnmsg(s.rc, "Unauthorized user for project %s -- Access denied", entry.name);
    return 0;
  }
  return 1;
}

// Picks the version to compare with. Returns 1 to go on, 0 to skip.
int chooseversion(Sync& s, int flags) {
  const char* catalogue = s.settings.catalogueName ? s.settings.catalogueName : kCatalogueName;
  s.catalogue = "/" + s.paths.hostTroskDir + "/" + s.name() + "/" + catalogue;
  if (flags & CMD_VERIFY) {
    trust(s);
    s.wantV = s.haveV;
    s.wantS = s.haveS;
  } else if (!checkcatalogue(s)) {
    return 0;
  }
  if (s.wantV == 0) {
    int release = s.project.release;
    s.wantV = (release & kReleaseAlpha) ? s.alpha : (release & kReleaseBeta) ? s.beta : s.stable;
    if (s.wantV == 0) {
      errormsg(s.rc, "can't identify requested version in remote file: %s", s.catalogue.c_str());
    }
  }
  return 1;
}

void printheader(Sync& s, int flags) {
  int showMode = s.settings.showMode;
  if (!((flags & CMD_STATUS) && !(flags & CMD_REPORT_ONLY)) && !(showMode & SHOW_VERSIONS)) return;
  const ProjectRun& project = s.project;
  printmsg(s.rc, "\nProject: %s     Host: %s\n", s.name(), project.host.c_str());
  printmsg(s.rc,
           "Current versions:  Stable= %d  Beta= %d  Alpha= %d, Have= %d/%d  Want= %d/%d\n",
           s.stable, s.beta, s.alpha, s.haveV, s.haveS, s.wantV, s.wantS);
  if (flags & CMD_LIST_ALL) {
    printmsg(s.rc, " Local: Host=%s Port=%d User=<%s> Vf=<%s>\n", project.host.c_str(),
             project.port, project.user.c_str(), s.localname);
  }
  if ((showMode & SHOW_VERSIONS) && !s.signer.empty())
    printmsg(s.rc, "Signed by the key with fingerprint %s\n", project.entry.trust);
}

// Hands the front end each line of the version log that has the writer's
// shape, in the log's order; a line of any other shape is passed over.
void reportversionlines(Frontend& frontend, std::string_view log) {
  while (!log.empty()) {
    std::size_t end = log.find('\n');
    std::string_view line = log.substr(0, end);
    log.remove_prefix(end == std::string_view::npos ? log.size() : end + 1);
    VersionEntry entry;
    if (parseversionline(line, &entry)) frontend.versionentry(entry);
  }
}

int showversions(Sync& s) {
  std::string path = "/" + s.paths.hostTroskDir + "/" + s.name() + "/versionlog.txt";
  std::string text;
  if (getfile(s.rc, s.remote(), path.c_str(), CMD_DISPLAY, &text, nullptr) <= 0) {
    causederror(s.rc, "Error reading file: %s", path.c_str());
  }
  printmsg(s.rc, "\nRemote Log:\n");
  printlong(s.rc, nullptr, text.c_str());
  s.rc.frontend.releases(ReleaseVersions{s.stable, s.beta, s.alpha, s.haveV, s.haveS});
  // What was printed: the text ends at a stray NUL byte.
  reportversionlines(s.rc.frontend, text.c_str());
  return 0;
}

std::string hostlogpath(const Sync& s, int subversion) {
  std::string path = "/" + s.paths.versionPath + "/trosk_" + s.name();
  if (subversion != 0) path += "_" + std::to_string(subversion);
  return path + ".xml";
}

// What every comparison of the run is asked.
CompareRequest request(Sync& s, int version, int subversion, int flags) {
  CompareRequest q;
  q.project = &s.project;
  q.paths = &s.paths;
  q.version = version;
  q.subversion = subversion;
  q.flags = flags;
  q.localname = s.localname;
  q.maxfiles = s.settings.maxFiles;
  q.user = s.settings.userEnv.c_str();
  q.comment = s.settings.commentText;
  q.reportnew = s.run.reportnew;
  q.diffonly = s.run.diffonly.c_str();
  q.localbase = s.haveV == version;
  return q;
}

// The verification pass over the version the working directory has.
// Returns the entries updated, or the negative fetch result.
int verifyhave(Sync& s, LogDoc& local, int flags) {
  setversionpath(s.paths, s.project, s.haveV);
  Remote remote = s.remote();
  LogDoc host;
  std::string path = hostlogpath(s, s.haveS);
  int got = host.fetch(s.rc, remote, path.c_str(), 0, s.signer);
  if (got < 0) {
    path = hostlogpath(s, 0);
    got = host.fetch(s.rc, remote, path.c_str(), 0, s.signer);
  }
  if (got < 0) {
    printmsg(s.rc, "Verify error reading remote log file: %s\n", path.c_str());
    return got;
  }
  CompareRequest q = request(s, s.haveV, s.haveS, flags | CMD_VERIFY);
  q.remote = host.top();
  q.local = local.top();
  q.host = &remote;
  return verify(s.rc, q);
}

int dump(Sync& s, const std::string& path) {
  std::string name = dumpname(s.run.projects, s.name(), s.localname);
  int flags = kFetchToFile | CMD_DISPLAY |
              ((s.settings.showMode & SHOW_WEBHDR) ? kFetchKeepHeader : 0);
  if (getfile(s.rc, s.remote(), path.c_str(), flags, nullptr, name.c_str()) <= 0) {
    causederror(s.rc, "Error reading remote file: %s", path.c_str());
  }
  printmsg(s.rc, "Host log written to: %s\n", name.c_str());
  return -1;
}

// An upload writes the host directly: it holds the host lock from before it
// reads the host's log until the new one is published, reads that log from
// the host it writes, puts right what an interrupted writer left, and
// compares each file with the host log of the version the working directory
// has, so that it never sends back a file that only changed on the host.
int upload(Sync& s, LogDoc& local, StatAhead* ahead, int flags) {
  RunContext& rc = s.rc;
  const std::string& root = s.project.hostroot;
  std::string projectdir = trosk::projectdir(root, s.paths, s.project);
  HostLock lock(rc, projectdir);
  requirekey(rc, writerkey(rc, s.project.entry.signkey), projectdir, s.name());
  Remote direct{root.c_str(), 0, nullptr, nullptr, nullptr};
  std::string path = hostlogpath(s, s.wantS);
  LogDoc hostlog;
  int table = editsonly(s, flags) ? kReadEntries | kReadEdit : 0;
  if (hostlog.fetch(rc, direct, path.c_str(), table, s.signer) < 0)
    causederror(rc, "Error reading remote log file: %s", path.c_str());
  std::string versiondir = root + "/" + s.paths.versionPath;
  PublishedLog published = hostlog.tabled ? publishedof(hostlog.table) : publishedof(hostlog.top());
  repairversion(rc, projectdir, versiondir, s.name(), s.wantV, &published);
  // Only read: a table serves.
  LogDoc base;
  bool based = false;
  int shared = sharedsubversion(local.top(), s.wantV);
  if (shared > 0) {
    std::string basepath = hostlogpath(s, shared);
    based = base.fetch(rc, direct, basepath.c_str(), kReadIndex, s.signer) >= 0;
  }
  CompareRequest q = request(s, s.wantV, s.wantS, flags);
  q.remote = hostlog.top();
  q.local = local.top();
  if (hostlog.tabled) q.remotetable = &hostlog.table;
  if (local.tabled) {
    q.localtable = &local.table;
    q.ahead = ahead;
  }
  q.host = &direct;
  q.base = based ? &base : nullptr;
  Outcome outcome;
  verify(rc, q, &outcome);
  s.project.notUpdated += outcome.notUpdated;
  return 1;
}

// Refuses the wanted version's log now when its signature fails.
void checkwanted(Sync& s) {
  setversionpath(s.paths, s.project, s.wantV);
  std::string path = hostlogpath(s, s.wantS);
  LogDoc hostlog;
  hostlog.fetch(s.rc, s.remote(), path.c_str(), kReadEntries, s.signer);
}

// The main comparison of the wanted version.
int comparewanted(Sync& s, LogDoc& local, StatAhead* ahead, int flags, const std::string& path) {
  RunContext& rc = s.rc;
  Remote remote = s.remote();
  LogDoc hostlog;
  if (hostlog.fetch(rc, remote, path.c_str(), local.tabled ? kReadEntries : 0, s.signer) < 0) {
    causederror(rc, "Error reading remote log file: %s", path.c_str());
  }
  if (s.project.backup != 0) flags |= CMD_BACKUP;
  CompareRequest q = request(s, s.wantV, s.wantS, flags);
  q.host = &remote;  // a status fetches a file only to show its differences
  if (hostlog.tabled) {
    q.remotetable = &hostlog.table;
    q.localtable = &local.table;
    q.ahead = ahead;
    verify(rc, q);
    return 1;
  }
  q.remote = hostlog.top();
  q.local = local.top();
  Outcome outcome;
  verify(rc, q, &outcome);
  s.project.notUpdated += outcome.notUpdated;
  return 1;
}

}  // namespace

int syncproject(Run& run, ProjectRun& project, int flags, int version, int subversion) {
  Sync s(run, project);
  RunContext& rc = s.rc;
  ProjectEntry& entry = project.entry;
  s.wantV = version;
  s.wantS = subversion;
  s.paths = hostpaths(project);
  sethost(project, project.host.c_str());
  setport(s);
  if (s.settings.showMode & SHOW_LOG) return showactivitylog(s);

  LogDoc local;
  std::unique_ptr<StatAhead> ahead;
  if (findlocallog(s)) {
    readlocallog(s, local, flags, ahead);
  } else if (!newlocallog(s, local, &flags)) {
    return 0;
  }
  project.haveVersion = s.haveV;
  project.haveSubversion = s.haveS;
  setport(s);
  // A project listed without a host keeps the one this run found.
  if (!entry.host[0]) {
    copystr(project.host.c_str(), entry.host, kPathSize - 1);
    if (!project.onhost2) project.hostroot = entry.host;
  }

  if (!chooseversion(s, flags)) return 0;
  if (rc.verboseLevel) {
    printmsg(rc, "host=<%s> port=%d tkdir=<%s> project=<%s> want=%d/%d\n", project.host.c_str(),
             project.port, s.paths.hostTroskDir.c_str(), entry.name, s.wantV, s.wantS);
  }
  printheader(s, flags);
  if (s.settings.showMode & SHOW_VERSIONS) return showversions(s);
  if (s.wantS > 0 && (flags & CMD_UPLOAD)) errormsg(rc, "can't specify subversion on upload");

  bool differ = s.wantV != s.haveV || s.wantS != s.haveS;
  // An upload keeps the local log as it is: its entries tell what the
  // working directory last shared with the host.
  bool verifying = (flags & CMD_VERIFY) || ((flags & CMD_DOWNLOAD) && !s.settings.noVerify &&
                                            differ && s.haveS != 0 && !isupload(entry, flags));
  // The verification pass writes the local log: a wanted log that is to be
  // refused is refused before it.
  if (verifying && !(flags & CMD_VERIFY) && !s.signer.empty()) checkwanted(s);
  if (verifying) {
    int updated = verifyhave(s, local, flags);
    if (flags & CMD_VERIFY) {
      printmsg(rc, "Verified local log file -- %d entries updated\n", updated);
      return 1;
    }
  }

  setversionpath(s.paths, project, s.wantV);
  std::string path = hostlogpath(s, s.wantS);
  if (flags & CMD_DISPLAY) return dump(s, path);
  if (isupload(entry, flags)) return upload(s, local, ahead.get(), flags);
  return comparewanted(s, local, ahead.get(), flags, path);
}

}  // namespace trosk
