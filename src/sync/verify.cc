#include "sync/verify.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "config/options.h"
#include "core/cause.h"
#include "core/fileprobe.h"
#include "core/output.h"
#include "core/strutil.h"
#include "core/tempfile.h"
#include "core/timer.h"
#include "core/vtp.h"
#include "repo/filestats.h"
#include "repo/hostlog.h"
#include "repo/hostpaths.h"
#include "repo/projectlog.h"
#include "repo/versionlog.h"
#include "sync/activitylog.h"
#include "sync/askupdate.h"
#include "sync/caption.h"
#include "sync/localstat.h"
#include "sync/logdoc.h"
#include "sync/pathsafety.h"
#include "sync/showdiff.h"
#include "sync/statahead.h"
#include "sync/statuslist.h"
#include "sync/transfer.h"
#include "xml/xmlvalues.h"
#include "xml/xmlwrite.h"

namespace trosk {

namespace {

constexpr int kNameMax = 255;

struct Run {
  Run(ProjectEntry& e, const HostPaths& p, int v, int s, int f, XmlNode* r, XmlNode* l,
      const char* name)
      : entry(e), paths(p), version(v), subversion(s), flags(f), remote(r), local(l),
        localname(name) {}

  ProjectEntry& entry;
  const HostPaths& paths;
  int version;
  int subversion;
  int flags;
  XmlNode* remote;  // the logs as trees, or null when read as tables
  XmlNode* local;
  const char* localname;
  const LogTable* remotetable = nullptr;
  const LogTable* localtable = nullptr;
  StatAhead* ahead = nullptr;  // measurements of the local table's files
  int maxfiles = kMaxFiles;  // 0: no limit
  Remote source;
  std::string hostroot;
  bool upload = false;
  bool zip = false;
  bool statuscall = false;
  bool verifycall = false;
  bool listing = false;
  bool transferring = false;  // files may move, not only be compared
  StatusList statuslist;
  bool halted = false;
  int toUpdate = 0;
  int logChanged = 0;
  int uploaded = 0;
  int notUpdated = 0;  // files the run decided to transfer and could not
  int havesubversion = 0;   // the subversion the local log named at the start
  bool behindhost = false;  // an upload left out a change made on the host
  const LogDoc* base = nullptr;  // an upload's host log of the version the directory has
  FileStats logstamp;       // when the local log was written
  ActivityLog activity;
  PendingMoves moves;
  StoredNames stored;  // what storing an upload's copies has learnt
  SourceFile uploading;  // the file being uploaded (its buffer serves every file)
  std::unordered_set<std::string> made;  // working-directory folders made or met
  std::unordered_map<std::string, XmlNode*> archives;  // local "archive" entries by name
  std::vector<std::string> arrived;                    // archives downloaded
};

// One host entry as it is compared: G the local log's record, L the local
// file, R the host's record.
struct Entry {
  XmlNode* host = nullptr;
  char name[kNameMax + 1] = {};
  char source[kNameMax + 1] = {};
  XmlNode* logged = nullptr;
  bool found = false;  // the local log has an entry of this name
  long filed = -1;     // that entry's place in a local table's file index
  FileStats G, L, R;
  bool exists = false;
  bool rewrite = false;
  bool flagged = false;  // the local log's entry carries a status word
  int status = 0;
  int hostbits = 0;
};

bool named(const XmlNode* node, const char* word, bool prefix) {
  std::size_t n = std::strlen(word);
  if (!node->name || node->namelen < static_cast<int32_t>(n)) return false;
  if (!prefix && node->namelen != static_cast<int32_t>(n)) return false;
  return strncmpi(node->name, word, n) == 0;
}

// The first direct child of the log element called `word`.
XmlNode* firstnamed(XmlNode* root, const char* word) {
  for (XmlNode* n = root->first; n; n = n->next) {
    if (named(n, word, false)) return n;
  }
  return nullptr;
}

// The project log lookup serves "file" entries only; the archive entries of
// the local log are indexed here once, so that they too are found, not added
// again.
void indexarchives(Run& r) {
  char name[kNameMax + 1];
  for (XmlNode* n = r.local->first; n; n = n->next) {
    if (!named(n, "archive", false)) continue;
    xmlgettext(n, "name", name, sizeof name);
    if (name[0]) r.archives.emplace(name, n);
  }
}

XmlNode* findlogged(Run& r, const char* name) {
  if (!r.zip) return findfilenode(r.local, name);
  auto hit = r.archives.find(name);
  return hit == r.archives.end() ? nullptr : hit->second;
}

void writelocal(Run& r, Entry& e, int status) {
  int flags = (status & kEntryStatusMask) | (r.zip ? kEntryArchive : 0);
  XmlNode* node = addfilenode(r.local, e.logged, e.L, e.name, nullptr, flags);
  if (r.zip && !e.logged) r.archives.emplace(e.name, node);
  e.logged = node;
}

// Refuses names that would lead out of the working directory or the version
// directory, or onto the tool's own files. Returns true when the entry may
// be used.
bool acceptable(const Run& r, const Entry& e) {
  const char* why = nullptr;
  if (int bad = checkrelpath(e.name); bad < 0) {
    why = unsafereason(bad);
  } else if (e.source[0] && checkrelpath(e.source) < 0) {
    why = "unsafe source";
  } else if (isownfile(e.name, r.entry.name, r.localname)) {
    why = "one of Trosk's own files";
  }
  if (!why) return true;
  std::string format = std::string("Host entry refused (") + why + "): %s";
  warnmsg(rc, format.c_str(), printable(e.name).c_str());
  return false;
}

bool haschild(const XmlNode* entry, const char* name) {
  for (const XmlNode* c = entry->first; c; c = c->next) {
    if (xmlisnamed(c, name)) return true;
  }
  return false;
}

// A stamp that is not older than the local log cannot be trusted alone: the
// file may have changed again within the second the log was written in,
// keeping its size and stamp. Only such files have their content read.
bool racy(const Run& r, const FileStats& logged) {
  const FileStats& w = r.logstamp;
  return logged.date > w.date || (logged.date == w.date && logged.time >= w.time);
}

// L and the local state (step by step: quick when the log has a stamp).
void measure(Run& r, Entry& e) {
  bool quick = e.found && e.G.date != 0 && e.G.time != 0;
  if (quick) {
    e.exists = (e.filed >= 0 ? r.ahead->quick(e.filed, e.name, &e.L) : quickstats(e.name, &e.L)) > 0;
  } else {
    e.exists = fullstats(e.name, &e.L) >= 0;
  }
  if (!e.exists || !e.found) {
    // "missing" says that a logged file has gone; a file the log never held
    // gets its first entry without a status.
    e.rewrite = true;
    e.status = e.found ? kStatusMissing : 0;
    return;
  }
  int bits = cmpchecks(e.G, e.L, quick ? kCompareStampOnly : 0);
  bool stamped = quick && (bits & (kContentDiffers | kStampDiffers));
  if (stamped || (quick && racy(r, e.G))) {
    e.exists = fullstats(e.name, &e.L) >= 0;
    if (!e.exists) {
      e.rewrite = true;
      e.status = kStatusMissing;
      return;
    }
    bits = cmpchecks(e.G, e.L, 0);
    e.rewrite = stamped || (bits & kContentDiffers);
  } else if (quick) {
    e.L.checksum = e.G.checksum;
    e.L.parity = e.G.parity;
    e.L.crc = e.G.crc;
    e.L.version = e.G.version;
  } else {
    e.rewrite = true;  // the log lacked a stamp: record one, so that next time is quick
  }
  e.status = (bits & kContentDiffers) ? kStatusModified : 0;
}

int hoststatus(int bits) {
  if (bits & kNewer) return kStatusNewer;
  if (bits & kOlder) return kStatusOlder;
  return kStatusModified;
}

std::string hostfile(const Run& r, const Entry& e) {
  return "/" + r.paths.versionPath + "/" + (e.source[0] ? e.source : e.name);
}

Moved download(Run& r, Entry& e, bool diff) {
  setcaption(rc, std::string("Downloading: ") + e.name);
  std::string path = hostfile(r, e);
  std::string question = updatequestion(e.name, r.upload);
  Download job;
  job.remote = &r.source;
  job.hostpath = path.c_str();
  job.name = e.name;
  job.expected = e.R;
  job.diff = diff;
  job.backup = (r.flags & CMD_BACKUP) != 0;
  job.question = question.c_str();
  job.arrived = &e.L;
  job.armoured = !e.source[0] || armouredname(e.source);
  job.moves = &r.moves;
  job.made = &r.made;
  Moved moved = downloadfile(job);
  if (moved != Moved::kDone) return moved;
  e.exists = true;
  if (r.zip) r.arrived.emplace_back(e.name);
  return moved;
}

Moved upload(Run& r, Entry& e, bool diff) {
  SourceFile& file = r.uploading;
  int kind = readregular(e.name, file);
  e.L = file.stats;
  if (kind < 0) return Moved::kFailed;
  // Text that begins like armour is stored in armour too, or a download
  // would take it for armour.
  bool vtp = (kind == kFileBinary && !(r.flags & CMD_NO_DECODE)) ||
             (file.whole ? isvtp(file.bytes) : isvtpfile(e.name));
  setcaption(rc, std::string("Uploading: ") + basename(e.name));
  if (diff) {
    std::string path = hostfile(r, e);
    if (!diffbeforeupload(r.source, path.c_str(), e.name,
                          updatequestion(e.name, r.upload).c_str())) {
      return Moved::kDeclined;
    }
  }
  std::string destdir = r.hostroot + "/" + r.paths.versionPath;
  std::string stored;
  // After the differences were shown the file may have been changed: it is
  // read again.
  if (!uploadfile(e.name, diff ? nullptr : &file, destdir, vtp, r.entry.suffix, &stored,
                  &r.stored)) {
    return Moved::kFailed;
  }
  addfilenode(r.remote, e.host, e.L, e.name, stored.c_str(), 0);
  ++r.uploaded;
  return Moved::kDone;
}

// The base log's statistics of the file `name`: false when it has none.
bool basestats(const Run& r, const char* name, FileStats* stats) {
  if (!r.base) return false;
  if (r.base->tabled) {
    const NameIndex::Named* found = r.base->table.findfile(name);
    if (found) *stats = found->record.stats;
    return found != nullptr;
  }
  XmlNode* found = r.base->top() ? findfilenode(r.base->top(), name) : nullptr;
  if (found) checknode(found, stats);
  return found != nullptr;
}

// Where a file to upload changed since the working directory last matched
// the host: here, on the host (someone else's upload), or both. What it
// last matched is the local log's entry when that carries no status word
// (it was recorded equal to the host), else the host log of the version
// the local log names.
enum class Changed { kHere, kHost, kBoth };

Changed changedwhere(const Run& r, const Entry& e) {
  FileStats B;
  if (e.found && !e.flagged) {
    B = e.G;
  } else if (basestats(r, e.name, &B)) {
  } else {
    return Changed::kBoth;  // nothing to tell by
  }
  bool here = (cmpchecks(B, e.L, 0) & kContentDiffers) != 0;
  bool host = (cmpchecks(B, e.R, 0) & kContentDiffers) != 0;
  if (!host) return Changed::kHere;
  return here ? Changed::kBoth : Changed::kHost;
}

// An upload never sends back a file that only changed on the host, and asks
// before it overwrites a change made on both sides (prompt level 0 refuses).
// Returns false when the file is not to be uploaded.
bool uploadable(Run& r, const Entry& e, bool* conflict) {
  Changed where = changedwhere(r, e);
  if (where == Changed::kHost) {
    printmsg(rc, "Changed on the host, download it first: %s\n", e.name);
    r.behindhost = true;
    return false;
  }
  *conflict = where == Changed::kBoth;
  if (*conflict && (rc.promptLevel & 7) == 0) {
    warnmsg(rc, "Changed here and on the host, not uploaded: %s", printable(e.name).c_str());
    r.behindhost = true;
    return false;
  }
  return true;
}

// Steps of one entry after its measurement: listing, decision, transfer
// and the rewrite of its local log entry.
void settle(Run& r, Entry& e) {
  e.hostbits = e.exists ? cmpchecks(e.R, e.L, 0) : 0;
  bool content = (e.hostbits & kContentDiffers) != 0;
  if (r.verifycall) {
    if (content) {
      e.rewrite = true;
      e.status = hoststatus(e.hostbits);
    }
    if (!e.rewrite) return;
    if (r.flags & CMD_LIST_ALL)
      printmsg(rc, "Updating node for: %s (%oo)\n", e.name, e.hostbits);
    writelocal(r, e, e.status);
    ++r.logChanged;
    return;
  }
  if (r.listing) {
    r.statuslist.add(e.name, e.R, e.L, e.exists, e.hostbits, (r.flags & CMD_LIST_ALL) != 0);
  }
  if (r.statuscall) {
    if (content || !e.exists) ++r.toUpdate;
    return;
  }
  if (e.exists && !content) {
    // Equal to the host: the entry is in step, whatever it said before.
    if (e.rewrite || e.flagged) {
      writelocal(r, e, 0);
      ++r.logChanged;
    }
    return;
  }
  bool transfer = (r.flags & CMD_DOWNLOAD) && !(r.upload && !e.exists);
  bool conflict = false;
  // A file left out keeps its entry: it still says what the host had.
  if (transfer && r.upload && !uploadable(r, e, &conflict)) return;
  if (transfer && (r.halted || (r.maxfiles > 0 && r.toUpdate >= r.maxfiles))) {
    if (!r.halted) printmsg(rc, "Too many files (>%d) -- update halted\n", r.maxfiles);
    r.halted = true;
    ++r.toUpdate;
    return;  // left for the next run, its log entry as it was
  }
  bool diff = false;
  bool done = false;
  if (transfer && askupdate({e.name, r.upload, e.exists, e.hostbits, e.R.size, conflict}, &diff)) {
    ++r.toUpdate;
    if (r.flags & CMD_LIST_ALL)
      printmsg(rc, "Updating file: %s (%oo)\n", e.name, e.hostbits);
    Moved moved = r.upload ? upload(r, e, diff) : download(r, e, diff);
    done = moved == Moved::kDone;
    if (conflict && !done) r.behindhost = true;
    if (done) r.activity.note(e.name);
    if (moved == Moved::kFailed) ++r.notUpdated;
  } else if (conflict) {
    r.behindhost = true;
  }
  if (conflict && !done) return;
  writelocal(r, e, done ? 0 : (e.exists ? kStatusModified : kStatusMissing));
  if (done && !r.upload) {
    char alert[kNameMax + 1];
    xmlgettext(e.host, "alert", alert, sizeof alert);
    if (alert[0]) alertbox(rc, alert, 0);
  }
}

// Steps of one entry whose name and source are known.
void compareentry(Run& r, Entry& e, int32_t started) {
  if (!acceptable(r, e)) {
    if (r.transferring) ++r.notUpdated;
    return;
  }
  measure(r, e);
  settle(r, e);
  timerlog(rc, kTimeVerify1, started, "verify1");
}

void visit(Run& r, XmlNode* host) {
  int32_t started = timerread(rc);
  Entry e;
  e.host = host;
  xmlgettext(host, "name", e.name, sizeof e.name);
  if (!e.name[0]) return;
  xmlgettext(host, "source", e.source, sizeof e.source);
  checknode(host, &e.R);
  e.logged = findlogged(r, e.name);
  if (e.logged) {
    e.found = true;
    checknode(e.logged, &e.G);
    e.flagged = haschild(e.logged, "status");
  }
  compareentry(r, e, started);
}

void visit(Run& r, const LogEntry& host) {
  int32_t started = timerread(rc);
  Entry e;
  std::string_view name = r.remotetable->text(host.name, host.namelength);
  std::string_view source = r.remotetable->text(host.source, host.sourcelength);
  name.copy(e.name, kNameMax);
  if (!e.name[0]) return;
  source.copy(e.source, kNameMax);
  e.R = host.record.stats;
  const NameIndex::Named* logged =
      r.zip ? r.localtable->findarchive(e.name) : r.localtable->findfile(e.name);
  if (logged) {
    e.found = true;
    e.G = logged->record.stats;
    e.flagged = logged->record.flagged;
    if (r.ahead && !r.zip) e.filed = logged - r.localtable->files.records.data();
  }
  compareentry(r, e, started);
}

// The host log of the new subversion, then its line in the version log.
void publishupload(Run& r) {
  setchildint(r.remote, "subversion", r.subversion);
  std::string versiondir = r.hostroot + "/" + r.paths.versionPath;
  publishlog(r.remote, versiondir, r.entry.name, r.subversion, true);
  std::string projectdir = trosk::projectdir(r.hostroot.c_str(), r.paths, r.entry);
  if (versionlog(projectdir, "Upload new subversion", r.version, r.subversion) < 0) {
    warnmsg(rc, "Version log not written for project %s", r.entry.name);
  }
}

void writelocallog(Run& r) {
  // The local log names the host subversion the working directory holds:
  // the new one after an upload, the host's own when nothing was stored;
  // after an upload that left out a change made on the host, still the one
  // it had, the base the next upload compares with.
  int holds = r.subversion;
  if (r.upload && r.behindhost) holds = r.havesubversion;
  else if (r.upload && r.uploaded <= 1) holds = r.subversion - 1;
  setchildint(r.local, "subversion", holds);
  // Written first: a run killed between the two leaves the log behind,
  // and the next run writes both again.
  if (r.transferring) writeversionstamp(r.version, holds);
  if (xmlsave(r.localname, nullptr, r.local, 0) < 0)
    causederror(rc, "Error writing file: %s", r.localname);
  printmsg(rc, "   %s\n", r.localname);
}

// A download that brought every file but was stopped before it wrote the
// local log left the log at the version before: it is brought up to date
// even when no file needs to move now.
bool logbehind(const Run& r) {
  if (r.upload || r.verifycall || !(r.flags & CMD_DOWNLOAD) || r.halted) return false;
  return xmlgetint(r.local, "subversion", 0) != r.subversion ||
         xmlgetint(r.local, "pversion", 0) != r.version;
}

// Removes what a killed run left in the directories this one writes.
void removeleftovers(Run& r) {
  std::unordered_set<std::string> dirs{""};
  for (XmlNode* n = r.remote->first; n; n = n->next) {
    const char* name = xmlpathval(n, "name");
    if (!name || checkrelpath(name) < 0) continue;
    std::string_view path(name);
    std::size_t slash = path.find_last_of("/\\");
    if (slash != std::string_view::npos) dirs.emplace(path.substr(0, slash));
  }
  for (const std::string& dir : dirs) {
    removetemps(dir, false);
    removetemps(dir.empty() ? kBackupDir : std::string(kBackupDir) + "/" + dir, false);
  }
}

// The subversion a log names, as xmlgetint finds it.
int subversionof(XmlNode* tree, const LogTable* table) {
  if (!table) return xmlgetint(tree, "subversion", 0);
  return table->subversion ? xmlnumber(table->subversion->c_str(), 0) : 0;
}

long long hostchildren(const Run& r) {
  return r.remotetable ? static_cast<long long>(r.remotetable->children) : xmlnchild(r.remote);
}

uint8_t exactkind(const char* word) { return std::strcmp(word, "file") == 0 ? kLogFile : kLogArchive; }

// Whether a child of the host log's document element is called `word`.
bool hasentry(const Run& r, const char* word) {
  if (!r.remotetable) return firstnamed(r.remote, word) != nullptr;
  uint8_t kind = exactkind(word);
  const std::vector<LogEntry>& entries = r.remotetable->entries;
  return std::any_of(entries.begin(), entries.end(), [kind](const LogEntry& e) { return e.kind & kind; });
}

// Every host entry from the first one called `word`: those whose names
// begin with it.
void visitall(Run& r, const char* word) {
  ProgressBar bar;
  long long total = hostchildren(r), index = 0;
  if (!r.remotetable) {
    for (XmlNode* n = firstnamed(r.remote, word); n; n = n->next, ++index) {
      if (!named(n, word, true)) continue;
      bar.set(index, total);
      visit(r, n);
    }
    return;
  }
  uint8_t exact = exactkind(word), prefix = exact == kLogFile ? kLogFilePrefix : kLogArchivePrefix;
  const std::vector<LogEntry>& entries = r.remotetable->entries;
  auto first = std::find_if(entries.begin(), entries.end(),
                            [exact](const LogEntry& e) { return e.kind & exact; });
  for (auto e = first; e != entries.end(); ++e) {
    if (!(e->kind & prefix)) continue;
    bar.set(e->position - first->position, total);
    visit(r, *e);
  }
}

// The comparison of the logs a Run holds, trees or tables.
int compare(Run& r, const Remote* host, Outcome* outcome) {
  int32_t started = timerread(rc);
  ProjectEntry& entry = r.entry;
  const int version = r.version, flags = r.flags;
  int found = subversionof(r.remote, r.remotetable);
  if (r.subversion == 0) r.subversion = found;
  if (found > 0 && found != r.subversion && !(flags & CMD_STATUS)) {
    printmsg(rc, "Subversion mismatch: want %d, found %d (%oo)\n", r.subversion, found,
             flags);
  }
  const char* root = (entry.status & kStatusHost2) ? entry.host2 : entry.hostPath;
  r.source = host ? *host : Remote{root, entry.port, entry.authHeader, &entry.connection};
  r.hostroot = root ? root : "";  // uploads write the direct path, whatever was read
  r.upload = isupload(entry, flags);
  if (r.upload && r.subversion == INT_MAX) {
    errormsg(rc, "Project %s is at the last subversion there can be; no upload can follow",
             entry.name);
  }
  if (r.upload) ++r.subversion;
  r.havesubversion = subversionof(r.local, r.localtable);
  quickstats(r.localname, &r.logstamp);
  r.verifycall = (flags & CMD_VERIFY) != 0;
  r.statuscall = (flags & CMD_STATUS) && !(flags & (CMD_DOWNLOAD | CMD_VERIFY));
  r.listing = (flags & (CMD_STATUS | CMD_REPORT_ONLY | CMD_VERIFY)) == CMD_STATUS;
  r.uploaded = r.upload ? 1 : 0;
  r.transferring = (flags & CMD_DOWNLOAD) && !r.verifycall && !r.statuscall;
  r.activity.begin(entry.name, r.version, r.subversion, r.upload);
  if (r.transferring) removeleftovers(r);
  if (!(flags & CMD_REPORT_ONLY)) {
    printmsg(rc, "Verifying %s V=%d/%d (Entries: %d, Flag: %oo)\n", entry.name, version,
             r.subversion, static_cast<int>(hostchildren(r)) - 1, flags);
  }

  if (flags & CMD_ZIP) {
    bool any = hasentry(r, "archive");
    std::printf("Look for ZIP archive files: %ssuccessful\n", any ? "" : "un");
    std::fflush(stdout);
    if (!any && (flags & CMD_INIT)) r.flags &= ~CMD_ZIP;
  }
  r.zip = (r.flags & CMD_ZIP) != 0;
  if (r.zip && r.local) indexarchives(r);

  char caption[64];
  std::snprintf(caption, sizeof caption, "Compare V%d/%d ", version, r.subversion);
  setcaption(rc, caption);
  visitall(r, r.zip ? "archive" : "file");

  // A table is only read: the run writes no log.
  if (version != entry.version && r.local) setchildint(r.local, "pversion", version);
  if (r.statuscall) {
    printtotals(entry.name, r.toUpdate, r.maxfiles);
    timerlog(rc, kTimeVerify, started, "verify");
    return 0;
  }
  r.moves.flush();
  bool behind = logbehind(r);
  if (r.toUpdate || r.logChanged || behind) printmsg(rc, "Updating project file:\n");
  if (r.upload && r.uploaded > 1)
    publishupload(r);
  if (r.toUpdate || r.logChanged || behind) writelocallog(r);
  r.activity.close();
  if (!r.upload && (r.flags & CMD_DOWNLOAD) && r.zip && r.toUpdate) extracthint(r.arrived);
  if (r.notUpdated > 0) {
    printmsg(rc, " %d of the files to update %s not updated (see above).\n", r.notUpdated,
             r.notUpdated == 1 ? "was" : "were");
  }
  if (outcome) outcome->notUpdated = r.notUpdated;
  timerlog(rc, kTimeVerify, started, "verify");
  return r.verifycall ? r.logChanged : r.toUpdate;
}


}  // namespace

int verify(ProjectEntry& entry, const HostPaths& paths, int version, int subversion,
           XmlNode* remote, XmlNode* local, int flags, const char* localname, const Remote* host,
           const LogDoc* base, Outcome* outcome, int maxfiles) {
  Run r(entry, paths, version, subversion, flags, remote, local, localname);
  r.maxfiles = maxfiles;
  r.base = base;
  return compare(r, host, outcome);
}

int verifystatus(ProjectEntry& entry, const HostPaths& paths, int version, int subversion,
                 const LogTable& remote, const LogTable& local, int flags, const char* localname,
                 StatAhead* ahead, int maxfiles) {
  Run r(entry, paths, version, subversion, flags, nullptr, nullptr, localname);
  r.remotetable = &remote;
  r.localtable = &local;
  r.ahead = ahead;
  r.maxfiles = maxfiles;
  return compare(r, nullptr, nullptr);
}

}  // namespace trosk
