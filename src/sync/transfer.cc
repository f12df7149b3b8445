#include "sync/transfer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/atomicfile.h"
#include "core/cause.h"
#include "core/fileprobe.h"
#include "core/output.h"
#include "core/runcontext.h"
#include "core/strutil.h"
#include "core/tempfile.h"
#include "repo/copyfile.h"
#include "sync/backup.h"
#include "sync/localstat.h"
#include "sync/pathsafety.h"
#include "sync/showdiff.h"

namespace trosk {
namespace {

// A temporary name beside `name` (its directories made, once for each
// directory in `made`), or "" on failure. The name is not created here: the
// fetch creates it and writes it directly, after removing whatever stands
// there (a stale temporary file, even a link) without following it.
std::string tempbeside(const char* name, std::unordered_set<std::string>& made,
                       PendingMoves& moves) {
  std::string dir(name);
  std::size_t slash = dir.rfind('/');
  dir.resize(slash == std::string::npos ? 0 : slash + 1);
  if (!made.count(dir)) {
    if (makeparents(name, 0775) != 0) return "";
    made.insert(dir);
  }
  return dir + moves.nextname();
}

constexpr std::size_t kBatchFiles = 1000;
constexpr uint64_t kBatchBytes = uint64_t{256} << 20;

// Flushes what was written on the file system of the working directory.
void syncworkdir() {
  int fd = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::syncfs(fd);
  ::close(fd);
}

// The permission bits the new file is to have: those of the file it
// replaces (when `local` says there is one), else those of the host's copy
// (a directory host), else the usual ones; never more than the umask allows
// for a new file.
void setmode(const std::string& temp, const char* target, bool local, const Download& job) {
  struct stat st;
  if (local && ::stat(target, &st) == 0) {
    ::chmod(temp.c_str(), st.st_mode & 07777);
    return;
  }
  if (!islocalpath(job.remote->host)) return;
  std::string hostcopy = std::string(job.remote->host) + "/" + job.hostpath;
  if (::stat(hostcopy.c_str(), &st) != 0 || !(st.st_mode & 0111)) return;
  ::chmod(temp.c_str(), (st.st_mode | 0644) & static_cast<mode_t>(newfilemode(true)));
}

// The difference file lies in the working directory, which may be on
// another file system than the target: it is copied beside the target,
// synced, and renamed. Returns 0, or -2 on failure.
int copyintoplace(RunContext& rc, const std::string& from, const char* target) {
  return copyfile(rc, from.c_str(), target, 0, nullptr, nullptr) < 0 ? -2 : 0;
}

// How a download fetches a host copy: written in place into a temporary
// name whose directories are made, decoded when the host keeps it in armour.
int downloadflags(bool armoured) {
  int flags = armoured ? kFetchDownload : kFetchDownload & ~kFetchDecode;
  return (flags & ~kFetchMakeDirs) | kFetchInPlace;
}

// What a download's measurement takes: the digest too when the host entry
// records one (a malformed one included, which nothing matches).
int arrivalflags(const FileStats& expected) {
  return expected.sha256.state != Sha256Digest::kNone ? kStatsSha256 : 0;
}

// How what arrived compares with what the host log records for it.
enum class Arrival { kAsRecorded, kDiffers, kDigestDiffers };

// Measures what arrived (into `got`, the digest in the same read; from the
// copy of its bytes in `scratch` when the fetch kept one) and compares it
// with the host entry.
Arrival arrival(RunContext& rc, const char* path, const FileStats& expected, FileStats* got,
                SourceFile& scratch) {
  int kind = measurewritten(rc, path, scratch, arrivalflags(expected));
  *got = scratch.stats;
  if (kind < 0) return Arrival::kDiffers;
  if (cmpchecks(rc, expected, *got, 0) & kContentDiffers) return Arrival::kDiffers;
  if (digestdiffers(expected.sha256, got->sha256)) return Arrival::kDigestDiffers;
  return Arrival::kAsRecorded;
}

}  // namespace

void PendingMoves::add(RunContext& rc, TempFile&& temp, std::string target, uint64_t bytes) {
  moves_.push_back(Move{std::move(temp), std::move(target)});
  bytes_ += bytes;
  if (moves_.size() >= kBatchFiles || bytes_ >= kBatchBytes) flush(rc);
}

int PendingMoves::flush(RunContext& rc) {
  if (moves_.empty()) return 0;
  syncworkdir();
  for (Move& m : moves_) {
    if (std::rename(m.temp.path.c_str(), m.target.c_str()) != 0)
      errormsg(rc, "Cannot replace %s", printable(m.target).c_str());
    m.temp.release();
  }
  syncworkdir();
  moves_.clear();
  bytes_ = 0;
  return 0;
}

bool armouredname(const char* source) { return std::strstr(source, ".vtp_v") != nullptr; }

Moved downloadfile(RunContext& rc, const Download& job) {
  std::string shown = printable(job.name);
  // A link is never followed: checked with lstat, what it finds tells
  // whether the file is there.
  bool local = false;
  if (!linkfree(job.name, job.linkfree, &local)) {
    warnmsg(rc, "Symbolic link in the way, file not updated: %s", shown.c_str());
    return Moved::kFailed;
  }
  bool diff = job.diff && local;
  TempFile temp{diff ? std::string(kDiffTemp) : tempbeside(job.name, *job.made, *job.moves)};
  if (temp.path.empty()) {
    warnmsg(rc, "Cannot write beside %s, file not updated", shown.c_str());
    return Moved::kFailed;
  }
  // The directories were made for the temporary name, which is fresh: the
  // fetch writes it directly (the fixed name of a difference file too).
  job.scratch->bytes.clear();  // filled by the fetch when it can keep a copy
  long long fetched = getfile(rc, *job.remote, job.hostpath, downloadflags(job.armoured) | kFetchKeepCopy,
                              &job.scratch->bytes, temp.path.c_str());
  if (fetched == kFetchCancelled) return Moved::kCancelled;
  if (fetched < 0) causederror(rc, "download unsuccessful", nullptr);
  FileStats got;
  Arrival arrived = arrival(rc, temp.path.c_str(), job.expected, &got, *job.scratch);
  if (arrived == Arrival::kDiffers) {
    warnmsg(rc, "Download does not match the host log, local file kept: %s", shown.c_str());
    return Moved::kFailed;
  }
  if (arrived == Arrival::kDigestDiffers) {
    setcause(rc, "SHA-256 mismatch: %s", shown.c_str());
    warnmsg(rc, "SHA-256 mismatch, local file kept: %s", shown.c_str());
    return Moved::kFailed;
  }
  if (diff && !showdiff(rc, job.name, temp.path.c_str(), job.name, false, job.question)) {
    return Moved::kDeclined;
  }
  if (job.backup && local && backupfile(rc, job.name, job.backedup) != 0) {
    warnmsg(rc, "Backup failed, local file kept: %s", shown.c_str());
    return Moved::kFailed;
  }
  if (diff) {
    if (copyintoplace(rc, temp.path, job.name) < 0) {
      warnmsg(rc, "Cannot replace %s, local file kept", shown.c_str());
      return Moved::kFailed;
    }
    fullstats(rc, job.name, &got, *job.scratch, arrivalflags(job.expected));
  } else {
    setmode(temp.path, job.name, local, job);
    job.moves->add(rc, std::move(temp), job.name, static_cast<uint64_t>(got.size));
  }
  if (job.arrived) *job.arrived = got;  // a rename keeps the stamp measured above
  return Moved::kDone;
}

int uploadfile(RunContext& rc, const char* name, const SourceFile* kept, const std::string& destdir, bool vtp,
               const char* suffix, std::string* source, StoredNames* names) {
  std::string dest = destdir + "/" + basename(name) + (vtp ? ".vtp" : "");
  std::string stored;
  int flags = kCopyUnique | (vtp ? kCopyVtp : 0);
  long long written =
      kept && kept->whole
          ? storebytes(rc, kept->bytes, dest.c_str(), flags, kept->executable, suffix, &stored,
                       names)
          : copyfile(rc, name, dest.c_str(), flags, suffix, &stored, names);
  if (written == kCopyCancelled) return -1;
  if (written < 0) {
    warnmsg(rc, "Upload failed, file skipped: %s", printable(name).c_str());
    return 0;
  }
  std::string prefix = destdir + "/";
  if (stored.compare(0, prefix.size(), prefix) == 0) stored.erase(0, prefix.size());
  *source = stored;
  return 1;
}

int diffbeforeupload(RunContext& rc, const Remote& remote, const char* hostpath,
                     const char* name, const char* question) {
  TempFile temp{kDiffTemp};
  int flags = armouredname(hostpath) ? kFetchDownload : kFetchDownload & ~kFetchDecode;
  if (getfile(rc, remote, hostpath, flags, nullptr, temp.path.c_str()) < 0) {
    printmsg(rc, "No host copy to compare: %s\n", name);
  }
  return showdiff(rc, name, temp.path.c_str(), name, true, question);
}

int diffwithhost(RunContext& rc, const Remote& remote, const char* hostpath, const char* name,
                 bool armoured) {
  TempFile temp{kDiffTemp};
  long long fetched =
      getfile(rc, remote, hostpath, downloadflags(armoured), nullptr, temp.path.c_str());
  if (fetched == kFetchCancelled) return -2;
  if (fetched < 0) causederror(rc, "download unsuccessful", nullptr);
  return printdiff(rc, name, temp.path.c_str(), name, false);
}

}  // namespace trosk
