#include "sync/verify.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "config/options.h"
#include "core/cause.h"
#include "core/fileprobe.h"
#include "core/output.h"
#include "core/progress.h"
#include "core/runcontext.h"
#include "core/runerror.h"
#include "core/strutil.h"
#include "core/tempfile.h"
#include "core/timer.h"
#include "core/vtp.h"
#include "net/pipeline.h"
#include "repo/filestats.h"
#include "repo/hostlog.h"
#include "repo/hostpaths.h"
#include "repo/projectlog.h"
#include "repo/sharedbase.h"
#include "repo/versionlog.h"
#include "sync/activitylog.h"
#include "sync/askupdate.h"
#include "sync/localstat.h"
#include "sync/logdoc.h"
#include "sync/logview.h"
#include "sync/newfiles.h"
#include "sync/pathsafety.h"
#include "sync/showdiff.h"
#include "sync/statahead.h"
#include "sync/statuslist.h"
#include "sync/transfer.h"
#include "xml/xmlfind.h"
#include "xml/xmlvalues.h"
#include "xml/xmlwrite.h"

namespace trosk {

namespace {

constexpr int kNameMax = 255;

// One comparison: what it was asked, what it has found, and what it has done.
struct Compare {
  Compare(RunContext& c, const CompareRequest& q)
      : rc(c), request(q), project(*q.project), entry(q.project->entry), paths(*q.paths),
        version(q.version), subversion(q.subversion), flags(q.flags),
        remote(q.remotetable ? LogView(c, *q.remotetable, q.remote) : LogView(c, q.remote)),
        local(q.localtable ? LogView(c, *q.localtable, q.local) : LogView(c, q.local)),
        localname(q.localname) {}

  RunContext& rc;
  const CompareRequest& request;
  ProjectRun& project;
  ProjectEntry& entry;
  const HostPaths& paths;
  int version;
  int subversion;
  int flags;
  LogView remote;
  LogView local;
  const char* localname;
  Remote source;
  std::string hostroot;
  bool upload = false;
  bool zip = false;
  bool statuscall = false;
  bool verifycall = false;
  bool listing = false;
  bool transferring = false;  // files may move, not only be compared
  bool stopped = false;       // the run was asked to stop
  bool reportnew = false;     // a status that reports the files the host's log does not name
  bool single = false;        // a status of the one file `only`, its differences shown
  std::string_view only;
  bool onlyfound = false;     // the host's log names it
  StatusList statuslist;
  bool halted = false;
  int toUpdate = 0;
  int logChanged = 0;
  int uploaded = 0;
  int notUpdated = 0;  // files the run decided to transfer and could not
  int basesubversion = 0;   // what the working directory last shared with this version
  bool behindhost = false;  // an upload left out a change made on the host
  FileStats logstamp;       // when the local log was written
  bool logondisk = false;   // the local log was read from its file, not made new
  bool marked = false;      // a transfer toward the version has begun, this run's or a killed one's
  TempFile mark;            // its mark, which goes with the run
  ActivityLog activity;
  PendingMoves moves;
  StoredNames stored;  // what storing an upload's copies has learnt
  std::vector<std::string> storedpaths;  // the copies an upload stored, until it publishes
  SourceFile scratch;  // the buffer files are measured and uploaded through
  std::string comment;  // an upload's version-log comment, once asked
  bool commented = false;
  std::unordered_set<std::string> made;  // working-directory folders made or met
  std::unordered_set<std::string> nolinks;  // working-directory folders found to be no links
  std::vector<std::string> arrived;      // archives downloaded
  RunSummary summary;
  Pipeline ahead;  // the requests of a download from a web host, sent ahead
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
  bool counted = false;   // the step's totals count it among the files to move
  bool finished = false;  // it moved
};

void result(Compare& r, const char* name, FileOutcome outcome, std::string_view detail = {}) {
  ++r.summary.counts[static_cast<int>(outcome)];
  r.rc.frontend.fileresult(FileResult{name, outcome, detail});
}

void writelocal(Compare& r, Entry& e, int status) {
  int flags = (status & kEntryStatusMask) | (r.zip ? kEntryArchive : 0);
  // An entry rewritten here records no digest: which files a run happens to
  // hash (downloads, -verify) must not decide what the local log holds, or
  // a run killed and run again would leave another log than one run.
  FileStats recorded = e.L;
  recorded.sha256 = Sha256Digest{};
  XmlNode* node = addfilenode(r.rc, r.local.tree(), e.logged, recorded, e.name, nullptr, flags);
  if (!e.logged) r.local.wrote(e.name, r.zip, node);
  e.logged = node;
}

// Refuses names that would lead out of the working directory or the version
// directory, or onto the tool's own files. Returns true when the entry may
// be used.
bool acceptable(Compare& r, const Entry& e) {
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
  warnmsg(r.rc, format.c_str(), printable(e.name).c_str());
  result(r, e.name, FileOutcome::kRefused, why);
  return false;
}

// A stamp that is not older than the local log cannot be trusted alone: the
// file may have changed again within the second the log was written in,
// keeping its size and stamp. Only such files have their content read.
bool racy(const Compare& r, const FileStats& logged) {
  const FileStats& w = r.logstamp;
  return logged.date > w.date || (logged.date == w.date && logged.time >= w.time);
}

// A verify pass reads the content of each file whose host entry records a
// digest, to compare it; no other comparison hashes.
bool hashes(const Compare& r, const Entry& e) {
  return r.verifycall && e.R.sha256.state != Sha256Digest::kNone;
}

// L and the local state (step by step: quick when the log has a stamp).
void measure(Compare& r, Entry& e) {
  RunContext& rc = r.rc;
  int digest = hashes(r, e) ? kStatsSha256 : 0;
  bool quick = e.found && e.G.date != 0 && e.G.time != 0;
  if (quick) {
    e.exists = (e.filed >= 0 ? r.request.ahead->quick(e.filed, e.name, &e.L)
                             : quickstats(e.name, &e.L)) > 0;
  } else {
    e.exists = fullstats(rc, e.name, &e.L, r.scratch, digest) >= 0;
  }
  if (!e.exists || !e.found) {
    // "missing" says that a logged file has gone; a file the log never held
    // gets its first entry without a status.
    e.rewrite = true;
    e.status = e.found ? kStatusMissing : 0;
    return;
  }
  int bits = cmpchecks(rc, e.G, e.L, quick ? kCompareStampOnly : 0);
  bool stamped = quick && (bits & (kContentDiffers | kStampDiffers));
  if (stamped || (quick && racy(r, e.G))) {
    e.exists = fullstats(rc, e.name, &e.L, r.scratch, digest) >= 0;
    if (!e.exists) {
      e.rewrite = true;
      e.status = kStatusMissing;
      return;
    }
    bits = cmpchecks(rc, e.G, e.L, 0);
    e.rewrite = stamped || (bits & kContentDiffers);
  } else if (quick) {
    e.L.checksum = e.G.checksum;
    e.L.parity = e.G.parity;
    e.L.crc = e.G.crc;
    e.L.version = e.G.version;
    if (digest) sha256file(e.name, &e.L.sha256);
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

std::string hostfile(const Compare& r, std::string_view name, std::string_view source) {
  return "/" + r.paths.versionPath + "/" + std::string(source.empty() ? name : source);
}

std::string hostfile(const Compare& r, const Entry& e) { return hostfile(r, e.name, e.source); }

Moved download(Compare& r, Entry& e, bool diff, std::string* backedup) {
  RunContext& rc = r.rc;
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
  job.backedup = backedup;
  job.armoured = !e.source[0] || armouredname(e.source);
  job.moves = &r.moves;
  job.made = &r.made;
  job.linkfree = &r.nolinks;
  job.scratch = &r.scratch;
  Moved moved = downloadfile(rc, job);
  if (moved != Moved::kDone) return moved;
  e.exists = true;
  if (r.zip) r.arrived.emplace_back(e.name);
  return moved;
}

// The version-log comment is asked before the first copy is stored, so that
// a user who cancels at the question leaves nothing on the host. False when
// the run was asked to stop.
bool commentasked(Compare& r) {
  if (!r.commented) {
    r.comment = askcomment(r.rc, r.request.comment);
    r.commented = true;
  }
  return !r.rc.cancelled();
}

Moved upload(Compare& r, Entry& e, bool diff) {
  RunContext& rc = r.rc;
  SourceFile& file = r.scratch;
  int kind = readregular(rc, e.name, file, kStatsSha256);
  e.L = file.stats;
  if (kind < 0) return Moved::kFailed;
  // Text that begins like armour is stored in armour too, or a download
  // would take it for armour.
  bool vtp = (kind == kFileBinary && !(r.flags & CMD_NO_DECODE)) ||
             (file.whole ? isvtp(file.bytes) : isvtpfile(e.name));
  setcaption(rc, std::string("Uploading: ") + basename(e.name));
  if (diff) {
    std::string path = hostfile(r, e);
    if (!diffbeforeupload(rc, r.source, path.c_str(), e.name,
                          updatequestion(e.name, r.upload).c_str())) {
      return Moved::kDeclined;
    }
  }
  if (!commentasked(r)) return Moved::kCancelled;
  std::string destdir = r.hostroot + "/" + r.paths.versionPath;
  std::string stored;
  // After the differences were shown the file may have been changed: it is
  // read again.
  int copied = uploadfile(rc, e.name, diff ? nullptr : &file, destdir, vtp, r.entry.suffix,
                          &stored, &r.stored);
  if (copied < 0) return Moved::kCancelled;
  if (copied == 0) return Moved::kFailed;
  r.storedpaths.push_back(destdir + "/" + stored);
  addfilenode(rc, r.remote.tree(), e.host, e.L, e.name, stored.c_str(), 0);
  ++r.uploaded;
  return Moved::kDone;
}

// The local log's entry records what both sides shared: it carries no
// status word (it was recorded equal to the host) and is of this version.
bool sharedentry(const Compare& r, const Entry& e) {
  return e.found && !e.flagged && r.request.localbase;
}

// Where a file to upload changed since the working directory last matched
// the host: here, on the host (someone else's upload), or both. What it
// last matched is the local log's entry when that is shared, else the
// host log of what the working directory last shared with this version.
enum class Changed { kHere, kHost, kBoth };

Changed changedwhere(Compare& r, const Entry& e) {
  FileStats B;
  if (sharedentry(r, e)) {
    B = e.G;
  } else if (r.request.base) {
    const LogDoc& base = *r.request.base;
    LogView view = base.tabled ? LogView(r.rc, base.table) : LogView(r.rc, base.top());
    LogItem found;
    if (!view.find(e.name, false, &found)) return Changed::kBoth;
    B = found.stats;
  } else {
    return Changed::kBoth;  // nothing to tell by
  }
  bool here = (cmpchecks(r.rc, B, e.L, 0) & kContentDiffers) != 0;
  bool host = (cmpchecks(r.rc, B, e.R, 0) & kContentDiffers) != 0;
  if (!host) return Changed::kHere;
  return here ? Changed::kBoth : Changed::kHost;
}

// What the run does with a file that differs from the host.
enum class Step {
  kStay,     // not one to move: its entry records how it differs
  kRefused,  // an upload that must not happen; its entry stays as it was
  kLeft,     // left for the next run by the transfer limit
  kKeep,     // the user said no
  kMove,
};

struct Decision {
  Step step = Step::kStay;
  bool diff = false;      // show the differences first
  bool conflict = false;  // changed here and on the host
};

// An upload never sends back a file that only changed on the host, and asks
// before it overwrites a change made on both sides (prompt level 0 refuses).
// Returns false when the file is not to be uploaded.
bool uploadable(Compare& r, const Entry& e, bool* conflict) {
  RunContext& rc = r.rc;
  Changed where = changedwhere(r, e);
  if (where == Changed::kHost) {
    printmsg(rc, "Changed on the host, download it first: %s\n", e.name);
    r.behindhost = true;
    result(r, e.name, FileOutcome::kRefused, "changed on the host, download it first");
    return false;
  }
  *conflict = where == Changed::kBoth;
  if (*conflict && (rc.promptLevel & 7) == 0) {
    warnmsg(rc, "Changed here and on the host, not uploaded: %s", printable(e.name).c_str());
    r.behindhost = true;
    result(r, e.name, FileOutcome::kRefused, "changed here and on the host");
    return false;
  }
  return true;
}

Decision decide(Compare& r, const Entry& e) {
  RunContext& rc = r.rc;
  Decision d;
  bool transfer = (r.flags & CMD_DOWNLOAD) && !(r.upload && !e.exists);
  if (!transfer) return d;
  if (r.upload && !uploadable(r, e, &d.conflict)) {
    d.step = Step::kRefused;
    return d;
  }
  if (r.halted || (r.request.maxfiles > 0 && r.toUpdate >= r.request.maxfiles)) {
    if (!r.halted) printmsg(rc, "Too many files (>%d) -- update halted\n", r.request.maxfiles);
    r.halted = true;
    ++r.toUpdate;
    d.step = Step::kLeft;
    result(r, e.name, FileOutcome::kLeft);
    return d;
  }
  UpdateCase c{e.name, r.upload, e.exists, e.hostbits, e.R.size, d.conflict};
  d.step = askupdate(rc, c, &d.diff) ? Step::kMove : Step::kKeep;
  return d;
}

// Moves the file the decision says to move, and records what became of it.
// Returns true when it moved.
bool move(Compare& r, Entry& e, const Decision& d) {
  RunContext& rc = r.rc;
  ++r.toUpdate;
  if (r.flags & CMD_LIST_ALL) printmsg(rc, "Updating file: %s (%oo)\n", e.name, e.hostbits);
  long long size = r.upload ? e.L.size : e.R.size;
  if (!r.marked) {
    r.mark = transfermark(r.entry.name, true);
    r.marked = true;
  }
  if (!e.counted) progressexpect(rc, 1, size);
  e.counted = true;
  progressfile(rc, e.name, size);
  std::string backedup;
  Moved moved = r.upload ? upload(r, e, d.diff) : download(r, e, d.diff, &backedup);
  bool done = moved == Moved::kDone;
  if (d.conflict && !done) r.behindhost = true;
  if (done) {
    r.activity.note(rc, e.name);
    r.summary.bytes += e.L.size;
    e.finished = true;
    progressfiledone(rc, size);
  }
  switch (moved) {
    case Moved::kDone:
      if (r.upload) {
        result(r, e.name, FileOutcome::kUploaded);
      } else if (!backedup.empty()) {
        result(r, e.name, FileOutcome::kBackedUp, backedup);
      } else {
        result(r, e.name, FileOutcome::kDownloaded);
      }
      break;
    case Moved::kDeclined:
      result(r, e.name, FileOutcome::kKept);
      break;
    case Moved::kFailed:
      ++r.notUpdated;
      result(r, e.name, FileOutcome::kFailed, rc.cause.empty() ? "not updated" : rc.cause);
      break;
    case Moved::kCancelled:
      --r.toUpdate;  // it stays for the next run, as it was
      r.stopped = true;
      break;
  }
  return done;
}

// The file is in step with the host, or is left as it is: its local log
// entry is rewritten with what was found.
void apply(Compare& r, Entry& e, const Decision& d) {
  if (d.step == Step::kRefused || d.step == Step::kLeft) return;  // its entry stays as it was
  bool done = false;
  if (d.step == Step::kMove) {
    done = move(r, e, d);
    if (r.stopped) return;
  } else if (d.step == Step::kKeep) {
    if (d.conflict) r.behindhost = true;
    result(r, e.name, FileOutcome::kKept);
  }
  if (d.conflict && !done) return;
  writelocal(r, e, done ? 0 : (e.exists ? kStatusModified : kStatusMissing));
  if (done && !r.upload) {
    char alert[kNameMax + 1];
    xmlgettext(e.host, "alert", alert, sizeof alert);
    if (alert[0]) alertbox(r.rc, alert, 0);
  }
}

void tellstate(Compare& r, const Entry& e) {
  FileState s;
  s.name = e.name;
  s.state = kStatusLabels[statuslabel(e.exists, e.hostbits)];
  s.localExists = e.exists;
  s.localSize = e.exists ? e.L.size : 0;
  s.hostSize = e.R.size;
  DateText hostdate = datetext(r.rc, e.R.date, e.R.time);
  DateText localdate = datetext(r.rc, e.L.date, e.L.time);
  s.hostDate = hostdate.c_str();
  if (e.exists) s.localDate = localdate.c_str();
  s.differs = !e.exists || (e.hostbits & kContentDiffers);
  // A record with a status word is the local file as last measured, and a
  // record of another version is not what both sides shared: neither tells
  // where a change was made.
  if (sharedentry(r, e)) {
    // From the measurements in hand, outside the performance log: the event
    // costs the comparison nothing.
    s.changedHere = !e.exists || (comparestats(e.G, e.L, 0) & kContentDiffers);
    s.changedOnHost = (comparestats(e.G, e.R, 0) & kContentDiffers) != 0;
  }
  ++r.summary.compared;
  r.rc.frontend.filestate(s);
}

// Steps of one entry after its measurement: listing, decision, transfer
// and the rewrite of its local log entry.
void settle(Compare& r, Entry& e) {
  RunContext& rc = r.rc;
  e.hostbits = e.exists ? cmpchecks(rc, e.R, e.L, 0) : 0;
  if (e.exists && hashes(r, e) && digestdiffers(e.R.sha256, e.L.sha256)) {
    // Equal weak sums do not make equal content.
    e.hostbits = (e.hostbits & ~kSameChecksum) | kDiffChecksum;
  }
  bool content = (e.hostbits & kContentDiffers) != 0;
  if (r.verifycall) {
    if (content) {
      e.rewrite = true;
      e.status = hoststatus(e.hostbits);
    }
    if (!e.rewrite) return;
    if (r.flags & CMD_LIST_ALL) printmsg(rc, "Updating node for: %s (%oo)\n", e.name, e.hostbits);
    writelocal(r, e, e.status);
    ++r.logChanged;
    return;
  }
  tellstate(r, e);
  if (r.listing) {
    r.statuslist.add(rc, e.name, e.R, e.L, e.exists, e.hostbits, (r.flags & CMD_LIST_ALL) != 0);
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
  apply(r, e, decide(r, e));
}

// A note printed in place of the differences a front end asked for, and
// handed to it as they would be.
void diffnote(Compare& r, const char* text, std::string_view name) {
  std::string line = text + std::string(name) + "\n";
  printlong(r.rc, nullptr, line.c_str());
  r.rc.frontend.difference(Difference{line, name});
}

// The line differences of the file a status was asked to show: the host copy
// is fetched as a download's 'd' answer fetches it.
void showonly(Compare& r, const Entry& e) {
  if (!e.exists) return diffnote(r, "No local copy of ", e.name);
  if (!(e.hostbits & kContentDiffers)) return diffnote(r, "No line differences in ", e.name);
  std::string path = hostfile(r, e);
  bool armoured = !e.source[0] || armouredname(e.source);
  if (diffwithhost(r.rc, r.source, path.c_str(), e.name, armoured) == -2) r.stopped = true;
}

// Steps of one host entry. Returns false when the run is to stop.
bool compareentry(Compare& r, const LogItem& host) {
  RunContext& rc = r.rc;
  if (rc.cancelled()) {
    r.stopped = true;
    return false;
  }
  if (r.single) {
    if (host.name != r.only) return true;
    if (r.onlyfound) return false;  // the first entry of the name is the file's, as a lookup finds
    r.onlyfound = true;
  }
  int32_t started = timerread(rc);
  Entry e;
  e.host = host.node;
  host.name.copy(e.name, kNameMax);
  host.source.copy(e.source, kNameMax);
  e.R = host.stats;
  LogItem logged;
  if (r.local.find(e.name, r.zip, &logged)) {
    e.found = true;
    e.logged = logged.node;
    e.G = logged.stats;
    e.flagged = logged.flagged;
    if (r.request.ahead && !r.zip) e.filed = logged.filed;
  }
  // A download expects what the logs say differs (see expecttransfers).
  e.counted = r.transferring && !r.upload &&
              (!e.found || e.flagged || (comparestats(e.G, e.R, 0) & kContentDiffers));
  if (!acceptable(r, e)) {
    if (r.transferring) ++r.notUpdated;
    if (e.counted) progressexpect(rc, -1, -e.R.size);
    return true;
  }
  measure(r, e);
  settle(r, e);
  if (r.single) showonly(r, e);
  if (r.statuscall) progressfiledone(rc, 0);
  if (e.counted && !e.finished) progressexpect(rc, -1, -(r.upload ? e.L.size : e.R.size));
  timerlog(rc, kTimeVerify1, started, "verify1");
  return !r.stopped;
}

// The host log of the new subversion, then its line in the version log with
// the comment asked before the first copy was stored.
void publishupload(Compare& r) {
  RunContext& rc = r.rc;
  setchildint(r.remote.tree(), "subversion", r.subversion);
  std::string versiondir = r.hostroot + "/" + r.paths.versionPath;
  SigningKey key = writerkey(rc, r.entry.signkey);
  std::string projectdir = trosk::projectdir(r.hostroot, r.paths, r.project);
  if (key.key && publishsigner(rc, key, projectdir) < 0)
    causederror(rc, "Error writing file: %s", (projectdir + "/" + kSignerKeyName).c_str());
  publishlog(rc, r.remote.tree(), versiondir, r.entry.name, r.subversion, true, key);
  r.storedpaths.clear();  // named by a published log now
  if (writeversionline(rc, projectdir, "Upload new subversion", r.version, r.subversion,
                       r.comment) < 0) {
    warnmsg(rc, "Version log not written for project %s", r.entry.name);
  }
}

// Copies an upload stored and no published log names.
void removestored(Compare& r) {
  for (const std::string& path : r.storedpaths) std::remove(path.c_str());
  r.storedpaths.clear();
}

// The host subversion the working directory holds: the new one after an
// upload, the host's own when nothing was stored; after an upload that left
// out a change made on the host, still the one it had, the base the next
// upload compares with.
int heldsubversion(const Compare& r) {
  if (r.upload && r.behindhost) return r.basesubversion;
  if (r.upload && r.uploaded <= 1) return r.subversion - 1;
  return r.subversion;
}

void writelocallog(Compare& r) {
  RunContext& rc = r.rc;
  setchildint(r.local.tree(), "subversion", heldsubversion(r));
  if (xmlsave(rc, r.localname, nullptr, r.local.tree(), 0) < 0)
    causederror(rc, "Error writing file: %s", r.localname);
  printmsg(rc, "   %s\n", r.localname);
}

// The stamp names the version only once every file the run was to move has
// moved: not after a run that moved nothing (unless it finished one that
// was killed), was halted by the transfer limit or stopped, or failed a file.
void writestamp(Compare& r) {
  if (!r.transferring || !r.marked || r.halted || r.stopped || r.notUpdated > 0) return;
  writeversionstamp(r.rc, r.version, heldsubversion(r));
}

// A download that brought every file but was stopped before it wrote the
// local log left the log at the version before: it is brought up to date
// even when no file needs to move now. A log made new this run is written
// only when it has entries to record.
bool logbehind(const Compare& r) {
  if (r.upload || r.verifycall || !(r.flags & CMD_DOWNLOAD) || r.halted || r.stopped ||
      !r.logondisk)
    return false;
  return xmlgetint(r.local.tree(), "subversion", 0) != r.subversion ||
         xmlgetint(r.local.tree(), "pversion", 0) != r.version;
}

// Removes what a killed run left in the directories this one writes.
void removeleftovers(Compare& r) {
  std::unordered_set<std::string> dirs{""};
  r.remote.names([&dirs](std::string_view path) {
    if (checkrelpath(std::string(path).c_str()) < 0) return;
    std::size_t slash = path.find_last_of("/\\");
    if (slash != std::string_view::npos) dirs.emplace(path.substr(0, slash));
  });
  for (const std::string& dir : dirs) {
    removetemps(dir, false);
    removetemps(dir.empty() ? kBackupDir : std::string(kBackupDir) + "/" + dir, false);
  }
}

// What a transferring run expects to move, from the two logs alone: the
// entries the local log lacks, flags, or records unlike the host. Files
// changed here since are found on the way.
void expecttransfers(Compare& r, const char* word) {
  // A look ahead for the progress bar and the requests sent ahead only: the
  // lookups it makes stay out of the performance log, which counts the
  // comparison's own.
  Timers kept = r.rc.timers;
  long long files = 0, bytes = 0;
  // Only a web host has requests to send ahead.
  bool ahead = r.source.host && !islocalpath(r.source.host);
  std::vector<std::string> fetches;
  std::size_t limit = r.request.maxfiles > 0 ? static_cast<std::size_t>(r.request.maxfiles)
                                             : static_cast<std::size_t>(-1);
  r.remote.each(word, [&](const LogItem& host, long long) {
    std::string name(host.name);
    LogItem logged;
    bool found = r.local.find(name.c_str(), r.zip, &logged);
    if (!found || logged.flagged ||
        (comparestats(logged.stats, host.stats, 0) & kContentDiffers)) {
      ++files;
      bytes += host.stats.size;
      if (ahead && fetches.size() < limit) fetches.push_back(hostfile(r, host.name, host.source));
    }
    return true;
  });
  r.rc.timers = kept;
  progressbegin(r.rc, files, bytes);
  r.source.ahead = &r.ahead;
  planfetches(r.source, fetches);
}

void setup(Compare& r) {
  RunContext& rc = r.rc;
  int found = r.remote.subversion();
  if (r.subversion == 0) r.subversion = found;
  if (found > 0 && found != r.subversion && !(r.flags & CMD_STATUS)) {
    printmsg(rc, "Subversion mismatch: want %d, found %d (%oo)\n", r.subversion, found, r.flags);
  }
  ProjectRun& project = r.project;
  r.source = r.request.host ? *r.request.host
                            : Remote{project.hostroot.c_str(), project.port,
                                     project.credentialline(), &project.connection, nullptr};
  r.hostroot = project.hostroot;  // uploads write the direct path, whatever was read
  r.upload = isupload(r.entry, r.flags);
  if (r.upload && r.subversion == INT_MAX) {
    errormsg(rc, "Project %s is at the last subversion there can be; no upload can follow",
             r.entry.name);
  }
  if (r.upload) ++r.subversion;
  r.basesubversion = r.request.localbase ? r.local.subversion()
                                         : sharedsubversion(r.local.tree(), r.version);
  r.logondisk = quickstats(r.localname, &r.logstamp) > 0;
  r.verifycall = (r.flags & CMD_VERIFY) != 0;
  r.statuscall = (r.flags & CMD_STATUS) && !(r.flags & (CMD_DOWNLOAD | CMD_VERIFY));
  r.listing = (r.flags & (CMD_STATUS | CMD_REPORT_ONLY | CMD_VERIFY)) == CMD_STATUS;
  r.uploaded = r.upload ? 1 : 0;
  r.single = r.statuscall && r.request.diffonly && r.request.diffonly[0];
  if (r.single) r.only = r.request.diffonly;
  r.reportnew = r.statuscall && r.request.reportnew && !r.single;
  r.transferring = (r.flags & CMD_DOWNLOAD) && !r.verifycall && !r.statuscall;
  if (r.transferring && transfermarked(r.entry.name)) {
    r.marked = true;
    r.mark = transfermark(r.entry.name, false);
  }
  r.activity.begin(r.entry.name, r.request.user, r.version, r.subversion, r.upload);
  r.summary.project = r.entry.name;
  if (r.transferring) removeleftovers(r);
  if (!(r.flags & CMD_REPORT_ONLY)) {
    printmsg(rc, "Verifying %s V=%d/%d (Entries: %d, Flag: %oo)\n", r.entry.name, r.version,
             r.subversion, static_cast<int>(r.remote.children()) - 1, r.flags);
  }
  if (r.flags & CMD_ZIP) {
    bool any = r.remote.has("archive");
    echomsg(rc, "Look for ZIP archive files: %ssuccessful\n", any ? "" : "un");
    if (!any && (r.flags & CMD_INIT)) r.flags &= ~CMD_ZIP;
  }
  r.zip = (r.flags & CMD_ZIP) != 0;
}

// Every name the host's log holds, files and archives alike, as the walk
// of the working directory spells it; looked up outside the performance log.
std::unordered_set<std::string> hostnames(Compare& r) {
  Timers kept = r.rc.timers;
  std::unordered_set<std::string> names;
  names.reserve(static_cast<std::size_t>(r.remote.children()));
  for (const char* word : {"file", "archive"}) {
    r.remote.each(word, [&names](const LogItem& item, long long) {
      names.insert(walkname(item.name));
      return true;
    });
  }
  r.rc.timers = kept;
  return names;
}

// Each regular file of the working directory the host's log does not name,
// as a "New" state; the listing says nothing of them.
void reportnewfiles(Compare& r) {
  RunContext& rc = r.rc;
  std::vector<NewFile> found = newfiles(rc, hostnames(r), r.entry.name, r.localname);
  if (rc.cancelled()) {
    r.stopped = true;
    return;
  }
  for (const NewFile& f : found) {
    DateText date = datetext(rc, f.stats.date, f.stats.time);
    FileState s;
    s.name = f.name;
    s.state = "New";
    s.localExists = true;
    s.localSize = f.stats.size;
    s.localDate = date.c_str();
    s.differs = true;
    rc.frontend.filestate(s);
  }
}

// The run was asked to stop: what moved is kept and recorded; an upload
// that published nothing leaves nothing of itself on the host.
void reportcancel(Compare& r) {
  RunContext& rc = r.rc;
  if (r.statuscall || r.verifycall) {
    printmsg(rc, "Status cancelled after %d files\n", r.summary.compared);
  } else {
    // A cancelled upload publishes nothing: every file stays as it was.
    const int* n = r.summary.counts;
    int moved = r.upload ? 0
                         : n[static_cast<int>(FileOutcome::kDownloaded)] +
                               n[static_cast<int>(FileOutcome::kBackedUp)];
    printmsg(rc, "Transfer cancelled: %d files transferred, the others left as they were\n", moved);
  }
}

void tellsummary(Compare& r, int32_t started) {
  if (r.verifycall) return;
  r.summary.seconds = (timerread(r.rc) - started) / 50000.0;
  r.summary.cancelled = r.stopped;
  r.rc.frontend.summary(r.summary);
}

// The comparison of the logs a Compare holds, trees or tables.
int compare(Compare& r, Outcome* outcome) {
  RunContext& rc = r.rc;
  int32_t started = timerread(rc);
  ProgressStep step(rc);
  setup(r);
  const char* word = r.zip ? "archive" : "file";
  char caption[64];
  std::snprintf(caption, sizeof caption, "Compare V%d/%d ", r.version, r.subversion);
  setcaption(rc, caption);
  if (r.transferring && !r.upload) {
    expecttransfers(r, word);
  } else if (r.transferring) {
    progressbegin(rc, 0, 0);  // what an upload moves shows only as it measures
  } else {
    progressbegin(rc, r.single ? 1 : r.remote.children(), 0);
  }
  r.remote.each(word, [&r](const LogItem& host, long long) { return compareentry(r, host); });
  progressend(rc);

  // A table is only read: the run writes no log.
  if (r.version != r.project.haveVersion && r.local.tree()) {
    switchshared(r.local.tree(), r.version);
    setchildint(r.local.tree(), "pversion", r.version);
  }
  if (r.statuscall) {
    if (r.single && !r.onlyfound && !r.stopped) diffnote(r, "Not on the host: ", r.only);
    if (r.reportnew && !r.stopped) reportnewfiles(r);
    if (r.stopped) {
      reportcancel(r);
    } else {
      printtotals(rc, r.entry.name, r.toUpdate, r.request.maxfiles);
    }
    timerlog(rc, kTimeVerify, started, "verify");
    tellsummary(r, started);
    if (r.stopped) throw RunError::cancelled();
    return 0;
  }
  r.moves.flush(rc);
  if (r.stopped && r.upload) {
    // Nothing published: the copies stored go, and the local log stays.
    removestored(r);
    reportcancel(r);
    tellsummary(r, started);
    throw RunError::cancelled();
  }
  bool behind = logbehind(r);
  // A stopped download records what it brought, so that the next run goes on from there.
  if (r.toUpdate || r.logChanged || behind || r.stopped) printmsg(rc, "Updating project file:\n");
  if (r.upload && r.uploaded > 1) publishupload(r);
  if (r.toUpdate || r.logChanged || behind || r.stopped) writelocallog(r);
  writestamp(r);
  r.activity.close(rc);
  if (r.stopped) {
    reportcancel(r);
    tellsummary(r, started);
    throw RunError::cancelled();
  }
  if (!r.upload && (r.flags & CMD_DOWNLOAD) && r.zip && r.toUpdate) extracthint(rc, r.arrived);
  if (r.notUpdated > 0) {
    printmsg(rc, " %d of the files to update %s not updated (see above).\n", r.notUpdated,
             r.notUpdated == 1 ? "was" : "were");
  }
  if (outcome) outcome->notUpdated = r.notUpdated;
  timerlog(rc, kTimeVerify, started, "verify");
  tellsummary(r, started);
  return r.verifycall ? r.logChanged : r.toUpdate;
}

}  // namespace

int verify(RunContext& rc, const CompareRequest& request, Outcome* outcome) {
  Compare r(rc, request);
  return compare(r, outcome);
}

}  // namespace trosk
