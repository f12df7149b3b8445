#include "repo/hostops.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cerrno>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include "core/cause.h"
#include "core/fileprobe.h"
#include "core/output.h"
#include "core/runcontext.h"
#include "core/relpath.h"
#include "core/runerror.h"
#include "core/strutil.h"
#include "core/tempfile.h"
#include "core/vtp.h"
#include "repo/catalogue.h"
#include "repo/copyfile.h"
#include "repo/filestats.h"
#include "repo/hostlock.h"
#include "repo/hostlog.h"
#include "repo/hostpaths.h"
#include "repo/projectlog.h"
#include "repo/sharedbase.h"
#include "repo/signing.h"
#include "repo/sourcefile.h"
#include "repo/versionlog.h"
#include "xml/xmlfind.h"
#include "xml/xmlparse.h"
#include "xml/xmlvalues.h"
#include "xml/xmlwrite.h"

namespace trosk {

namespace {

constexpr int kProjectDirMode = 0775;
constexpr int kCatalogueDirMode = 0755;
[[noreturn]] void writefailed(RunContext& rc, const std::string& path) {
  causederror(rc, "Error writing file: %s", path.c_str());
}

// Another writer may make the same directory at the same moment.
void makedir(RunContext& rc, const std::string& path) {
  if (rc.verboseLevel > 0) printmsg(rc, "Mkdir <%s>\n", path.c_str());
  if (::mkdir(path.c_str(), kProjectDirMode) != 0 && exists(rc, path.c_str()) != -1) {
    clearcause(rc);
    setcause(rc, "cannot make the directory %s: %s", path.c_str(), std::strerror(errno));
    causederror(rc, "Mkdir <%s> failed", path.c_str());
  }
}

// What one run of addfiles works on.
struct HostRun {
  HostRun(RunContext& r, const RunSettings& s, ProjectRun& p)
      : rc(r), settings(s), project(p), entry(p.entry) {}
  RunContext& rc;
  const RunSettings& settings;
  ProjectRun& project;
  const ProjectEntry& entry;
  HostPaths paths;
  std::string hostroot;
  std::string projectdir;
  std::string versiondir;
  std::string logpath;
  int version = 0;
  int subversion = 0;
  int flags = 0;
  std::string comment;  // the version log's, asked before anything is stored
  std::string interrupted;  // the line of an add killed on the way, when one was
  bool newlog = false;      // the version had no log: this run makes it
  StoredNames names;  // what storing copies has learnt about the version directory
  SourceFile source;  // the file being added (its buffer serves every file)
  SigningKey key;     // what the host is signed with (no key: unsigned)
};

struct Catalogue : VersionCatalogue {
  XmlDocument doc;
  XmlTree made;  // the document built in memory when none could be loaded
  XmlNode* root = nullptr;
  int loaded = 0;  // the xmlload result
};

// Loads a host file that may be absent. One that is there but cannot be read
// is fatal: starting afresh would overwrite what it holds (the users of the
// project, the files of a version).
int loadhostfile(RunContext& rc, const std::string& path, XmlDocument& doc) {
  int loaded = xmlload(rc, path.c_str(), doc, kXmlLoadAny | kXmlLoadKeepText);
  if (loaded <= 0 && exists(rc, path.c_str()) != 0)
    errormsg(rc, "Error reading file: %s", path.c_str());
  return loaded;
}

void loadcatalogue(RunContext& rc, Catalogue& cat, const std::string& path,
                   const ProjectEntry& entry) {
  cat.loaded = loadhostfile(rc, path, cat.doc);
  if (cat.loaded > 0) {
    cat.root = cat.doc.root.get();
    static_cast<VersionCatalogue&>(cat) = readcatalogue(cat.root, entry);
    return;
  }
  cat.made.reset(xmlnode(nullptr, "trosk"));
  cat.root = cat.made.get();
  cat.project = xmlnode(cat.root, "project");
}

// Moves every "user" element of the document element into a new "project"
// element, which becomes the one the catalogue describes.
XmlNode* makeproject(XmlNode* root) {
  XmlNode* project = xmlnode(root, "project");
  for (;;) {
    XmlNode* user = xmlchild(root, "user", 1);
    if (user == root) user = xmlchild(root, "user", 2);
    if (!user) break;
    xmladdval(project, "user", xmlval(user), kXmlText);
    xmlfree(user, kXmlFreeUnlink);
  }
  return project;
}

// The catalogue's lines come before the files' own, although the catalogue
// is written after them.
void announcecatalogue(RunContext& rc, const Catalogue& cat, const std::string& path, int flags) {
  printmsg(rc, "Make CURRENT V=%d, Beta=%d, Alpha=%d %d %d\n", cat.stable, cat.beta,
           cat.alpha, cat.loaded, cat.project == cat.root ? 1 : 0);
  if (flags & CMD_LIST_ALL) {
    printmsg(rc, "Create new CURRENT.XML file V=%d, Beta=%d, Alpha=%d <%s> %d\n", cat.stable,
             cat.beta, cat.alpha, path.c_str(), cat.loaded);
  }
}

// The text xmlsave writes for `node`.
std::string rendered(RunContext& rc, XmlNode* node) {
  char* data = nullptr;
  std::size_t size = 0;
  FILE* stream = ::open_memstream(&data, &size);
  if (!stream) return {};
  xmlsave(rc, nullptr, stream, node, 0);
  std::fclose(stream);
  std::string text(data, size);
  std::free(data);
  return text;
}

void writecatalogue(RunContext& rc, Catalogue& cat, const std::string& path,
                    const ProjectEntry& entry, const SigningKey& key) {
  bool istop = cat.project == cat.root;
  bool loaded = cat.loaded > 0;
  if (loaded) {
    for (const char* name : {"pversion", "stable", "alpha", "beta"}) xmldelchild(cat.project, name);
  }
  if (istop) cat.project = makeproject(cat.root);
  if (entry.platform[0]) {
    if (loaded) xmldelchild(cat.project, "platform");
    xmladdval(cat.project, "platform", entry.platform, kXmlText);
  }
  xmlsetint(cat.project, "pversion", cat.stable);
  if (cat.beta) xmlsetint(cat.project, "beta", cat.beta);
  if (cat.alpha) xmlsetint(cat.project, "alpha", cat.alpha);
  if (makeparents(path.c_str(), kCatalogueDirMode) < 0) writefailed(rc, path);
  std::string text = key.key ? rendered(rc, cat.root) : std::string();
  if (key.key && signbefore(rc, key, path, text) < 0) writefailed(rc, path + kSignatureEnding);
  if (xmlsave(rc, path.c_str(), nullptr, cat.root, 0) < 0) writefailed(rc, path);
  if (key.key && signafter(rc, key, path, text) < 0) writefailed(rc, path + kSignatureEnding);
}

// Opens the version's log, or begins a new one (the run then makes a new
// version), after putting right what an interrupted writer left there.
// Fixes the subversion the run works on.
XmlNode* openlog(XmlDocument& doc, XmlTree& made, HostRun& run) {
  RunContext& rc = run.rc;
  const ProjectEntry& entry = run.entry;
  int loaded = loadhostfile(rc, run.logpath, doc);
  PublishedLog published = publishedof(loaded > 0 ? doc.root.get() : nullptr);
  repairversion(rc, run.projectdir, run.versiondir, entry.name, run.version,
                loaded > 0 ? &published : nullptr);
  if (run.subversion < 1) run.subversion = 1;
  XmlNode* root;
  int found = -1;
  if (loaded > 0) {
    root = doc.root.get();
    found = xmlgetint(root, "subversion", -1);
    if (found > run.subversion) run.subversion = found;
  } else {
    if (run.subversion > 1) errormsg(rc, "Log file not found: %s", run.logpath.c_str());
    made.reset(xmlnode(nullptr, "trosk"));
    root = made.get();
    xmlsetint(root, "pversion", run.version);
    run.flags |= CMD_INIT;
    run.newlog = true;
  }
  // The log names the subversion it was last written as; a subversion asked
  // above the log's own is recorded, not only used for the snapshot's name.
  if (found >= 0 && found < run.subversion) xmldelchild(root, "subversion");
  if (found < run.subversion) xmlsetint(root, "subversion", run.subversion);
  return root;
}

void addone(const char* name, XmlNode* log, HostRun& run, int archive) {
  RunContext& rc = run.rc;
  const ProjectEntry& entry = run.entry;
  if (checkrelpath(name) != 0) {  // -add names stay inside the working directory
    printmsg(rc, "Refusing file outside the working directory: %s\n", name);
    return;
  }
  SourceFile& src = run.source;
  // The digest is of the bytes as the user has them, before any armour,
  // taken in the read that measures them.
  int kind = readsource(rc, name, src, kStatsSha256);
  const FileStats& st = src.stats;
  if (kind == kFileEmpty || st.size == 0) {
    printmsg(rc, "Skipping empty/missing file: %s\n", name);
    return;
  }
  // Binary files travel in armour unless -decode says otherwise; -encode
  // armours every file it adds; text that begins like armour is armoured
  // too, or a download would take it for armour.
  bool encode = (run.flags & CMD_ENCODE) || (kind == kFileBinary && !(run.flags & CMD_NO_DECODE)) ||
                (src.whole ? isvtp(src.bytes) : isvtpfile(name));
  std::string dest = run.versiondir + "/" + basename(name) + (encode ? ".vtp" : "");
  XmlNode* node = findfilenode(rc, log, name);
  int bits = kContentDiffers;
  if (node) {
    FileStats recorded;
    checknode(rc, node, &recorded);
    bits = cmpchecks(rc, recorded, st, 0);
    if (digestdiffers(recorded.sha256, st.sha256)) bits |= kDiffChecksum;
  }
  if (run.flags & CMD_LIST_ALL) {
    printmsg(rc, "Adding: %-36.36s %d %d %5d %7d %7lld %s %.1f %s\n", dest.c_str(), kind,
             encode ? 1 : 0, st.parity, st.checksum, static_cast<long long>(st.size),
             datetext(rc, st.date, st.time).c_str(),
             static_cast<double>(st.version), name);
  }
  if (!(bits & kContentDiffers)) return;
  std::string stored;
  int flags = kCopyUnique | (encode ? kCopyVtp : 0);
  long long r = src.whole ? storebytes(rc, src.bytes, dest.c_str(), flags, src.executable,
                                       entry.suffix, &stored, &run.names)
                          : copyfile(rc, name, dest.c_str(), flags, entry.suffix, &stored,
                                     &run.names);
  if (r == -1) causederror(rc, "copying file: %s\n", name);
  if (r < 0) causederror(rc, "copying file: %s\n", dest.c_str());
  addfilenode(rc, log, node, st, name, basename(stored.c_str()), archive);
}

// Keeps the published log as the local log.
void writelocal(XmlNode* log, const HostRun& run) {
  char local[kPathSize];
  std::snprintf(local, sizeof local, (run.flags & CMD_HIDDEN) ? ".trosk_%s.xml" : "trosk_%s.xml",
                run.entry.name);
  carryshared(run.rc, local, log, run.version);
  if (xmlsave(run.rc, local, nullptr, log, 0) < 0) writefailed(run.rc, local);
}

// The host's key is there before anything signed with it; the writer's own
// list trusts it from now on.
void signhost(HostRun& run) {
  if (!run.key.key) return;
  if (publishsigner(run.rc, run.key, run.projectdir) < 0)
    writefailed(run.rc, run.projectdir + "/" + kSignerKeyName);
  trusthostkey(run.project, ownfingerprint(run.key));
}

// An add killed on the way left the note of its line: the line is written
// now when it is missing, before anything else could take its place.
void completeinterrupted(HostRun& run) {
  RunContext& rc = run.rc;
  run.interrupted = interruptedline(run.entry.name, run.projectdir);
  if (run.interrupted.empty() || holdsline(run.projectdir, run.interrupted)) return;
  if (appendversionline(rc, run.projectdir, run.interrupted) < 0)
    writefailed(rc, run.projectdir + "/versionlog.txt");
}

// The same add as the interrupted one: the same version, subversion and
// comment. Run again, it completes that one and adds no line of its own.
bool completes(const HostRun& run, const std::string& line) {
  VersionEntry before, now;
  return !run.interrupted.empty() && parseversionline(run.interrupted, &before) &&
         parseversionline(line, &now) && before.version == now.version &&
         before.subversion == now.subversion && before.comment == now.comment;
}

std::string versionlogline(HostRun& run) {
  const char* activity = (run.flags & CMD_INIT) ? "Created new version" : "Added files";
  return versionline(run.rc, activity, run.version, run.subversion, run.comment);
}

// The version log's line for the version the run made or added to. A new
// version whose line is there already was begun by a run that was killed
// before it published its log: the line stays as that run wrote it.
void noteversion(HostRun& run, const std::string& line) {
  RunContext& rc = run.rc;
  if (run.newlog && hasversionline(run.projectdir, run.version, run.subversion)) return;
  if (completes(run, line)) return;
  if (appendversionline(rc, run.projectdir, line) < 0)
    writefailed(rc, run.projectdir + "/versionlog.txt");
}

// Steps of addfiles after the catalogue was read: the comment (a run
// cancelled at its question leaves the host as it was), the version
// directory, its log, the files, then in this order the host logs, the
// catalogue (when it is to be written), the version log and the local log,
// so that a kill at any point leaves the host readable. A new project's logs
// come after its catalogue and version log: until they are there, a download
// finds no such project rather than half of one.
int addtoversion(HostRun& run, Catalogue* cat, const std::string& catpath) {
  RunContext& rc = run.rc;
  const ProjectEntry& entry = run.entry;
  run.comment = askcomment(rc, run.settings.commentText);
  if (rc.cancelled()) throw RunError::cancelled();
  if (cat) announcecatalogue(rc, *cat, catpath, run.flags);
  run.versiondir = run.projectdir + "/" + entry.name + "_" + std::to_string(run.version);
  setversionpath(run.paths, run.project, run.version);
  if (exists(rc, run.versiondir.c_str()) != -1) makedir(rc, run.versiondir);
  run.logpath = run.versiondir + "/trosk_" + entry.name + ".xml";
  XmlDocument doc;
  XmlTree made;
  completeinterrupted(run);
  XmlNode* log = openlog(doc, made, run);
  int archive = (run.flags & CMD_ZIP) ? kEntryArchive : 0;
  for (const char* name : run.settings.addFiles) {
    if (name) addone(name, log, run, archive);
  }
  std::string line = versionlogline(run);
  TempFile note = notelineahead(entry.name, run.projectdir, line);
  if (note.path.empty()) writefailed(rc, kLineNote + std::string(entry.name));
  bool newproject = cat && cat->loaded <= 0 && (run.flags & CMD_INIT);
  signhost(run);
  if (!newproject) publishlog(rc, log, run.versiondir, entry.name, run.subversion, false, run.key);
  if (cat) writecatalogue(rc, *cat, catpath, entry, run.key);
  noteversion(run, line);
  if (newproject) publishlog(rc, log, run.versiondir, entry.name, run.subversion, false, run.key);
  writelocal(log, run);
  return 1;
}

}  // namespace

int addfiles(RunContext& rc, const RunSettings& settings, ProjectRun& project, int version,
             int subversion, int flags) {
  HostRun run(rc, settings, project);
  const ProjectEntry& entry = project.entry;
  run.flags = flags;
  run.paths = hostpaths(project);
  run.hostroot = project.hostroot;
  int release = project.release;
  run.version = version ? version : entry.version;

  std::string rootdir = run.hostroot + "/" + run.paths.hostTroskDir;
  if (exists(rc, rootdir.c_str()) != -1)
    errormsg(rc, "Trosk root directory <%s> not found", rootdir.c_str());
  run.projectdir = rootdir + "/" + entry.name;
  int kind = exists(rc, run.projectdir.c_str());
  if (kind == 1) errormsg(rc, "<%s> not valid directory", run.projectdir.c_str());
  if (kind == 0) makedir(rc, run.projectdir);
  HostLock lock(rc, run.projectdir);
  run.key = writerkey(rc, entry.signkey);
  requirekey(rc, run.key, run.projectdir, entry.name);
  removetemps(run.projectdir, true);  // a killed writer's, such as a catalogue half written

  std::string catpath = run.projectdir + "/" + kCatalogueName;
  Catalogue cat;
  loadcatalogue(rc, cat, catpath, entry);
  if (cat.loaded > 0) {
    if (!useraccess(cat.project, project.user.c_str())) {
      warnmsg(rc, "Unauthorized user for project %s -- Access denied", entry.name);
      return 0;
    }
    if (run.version == 0 && (release & kReleaseAlpha)) run.version = cat.alpha;
    if (run.version == 0 && (release & kReleaseBeta)) run.version = cat.beta;
    if (run.version == 0) run.version = cat.stable;
  }
  if (run.version == 0) run.version = 1;
  if (cat.stable == 0) cat.stable = run.version;

  bool write = false;
  if (flags & CMD_CURRENT) {
    write = true;
    if (settings.currentMask & 4) cat.alpha = settings.current[2];
    if (settings.currentMask & 2) cat.beta = settings.current[1];
    if (settings.currentMask & 1) cat.stable = settings.current[0];
  } else if (cat.loaded <= 0) {
    write = true;
    if (release & kReleaseAlpha) cat.alpha = run.version;
    if (release & kReleaseBeta) cat.beta = run.version;
  }
  if (settings.addCount < 1 && !(flags & CMD_INIT)) {
    if (write) {
      announcecatalogue(rc, cat, catpath, flags);
      signhost(run);
      writecatalogue(rc, cat, catpath, entry, run.key);
    }
    return 0;
  }
  run.subversion = subversion;
  return addtoversion(run, write ? &cat : nullptr, catpath);
}

}  // namespace trosk
