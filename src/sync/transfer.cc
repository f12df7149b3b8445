#include "sync/transfer.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

#include "core/fileprobe.h"
#include "core/output.h"
#include "core/tempfile.h"
#include "repo/copyfile.h"
#include "sync/backup.h"
#include "sync/localstat.h"
#include "sync/pathsafety.h"
#include "sync/showdiff.h"

namespace trosk {
namespace {

// A temporary name beside `name` (its directories made), or "" on failure.
// The name is not created here: the fetch writes beside it and renames onto
// it, which replaces whatever stands there (a stale temporary file, even a
// link) without following it; one file creation per download is enough.
std::string tempbeside(const char* name) {
  static std::atomic<unsigned long long> serial = 0;
  if (makeparents(name, 0775) != 0) return "";
  std::string dir(name);
  std::size_t slash = dir.rfind('/');
  dir.resize(slash == std::string::npos ? 0 : slash + 1);
  return dir + ".trosk_dl_" + std::to_string(getpid()) + "_" + std::to_string(++serial);
}

// Moves the complete download over the target. Returns 0 when renamed, 1
// when copied (the stamp is then new), -2 on failure.
int moveintoplace(const std::string& from, const char* target) {
  if (std::rename(from.c_str(), target) == 0) return 0;
  if (errno != EXDEV) return -2;
  // The difference file lies in the working directory, which may be on
  // another file system than the target: copy beside the target, then rename.
  return copyfile(from.c_str(), target, 0, nullptr, nullptr) < 0 ? -2 : 1;
}

// Measures what arrived (into `got`) and compares it with what the host log
// records for it.
bool arrivedasrecorded(const char* path, const FileStats& expected, FileStats* got) {
  if (fullstats(path, got) < 0) return false;
  return (cmpchecks(expected, *got, 0) & kContentDiffers) == 0;
}

}  // namespace

int downloadfile(const Download& job) {
  std::string shown = printable(job.name);
  if (!linkfree(job.name)) {
    warnmsg("Symbolic link in the way, file not updated: %s", shown.c_str());
    return 0;
  }
  bool local = exists(job.name) != 0;
  bool diff = job.diff && local;
  TempFile temp{diff ? std::string(kDiffTemp) : tempbeside(job.name)};
  if (temp.path.empty()) {
    warnmsg("Cannot write beside %s, file not updated", shown.c_str());
    return 0;
  }
  if (getfile(*job.remote, job.hostpath, kFetchDownload, nullptr, temp.path.c_str()) < 0) {
    printcause();
    errormsg("download unsuccessful");
  }
  FileStats got;
  if (!arrivedasrecorded(temp.path.c_str(), job.expected, &got)) {
    warnmsg("Download does not match the host log, local file kept: %s", shown.c_str());
    return 0;
  }
  if (diff && !showdiff(job.name, temp.path.c_str(), job.name, false, job.question)) return 0;
  if (job.backup && local && backupfile(job.name, nullptr) != 0) {
    warnmsg("Backup failed, local file kept: %s", shown.c_str());
    return 0;
  }
  int moved = moveintoplace(temp.path, job.name);
  if (moved < 0) {
    warnmsg("Cannot replace %s, local file kept", shown.c_str());
    return 0;
  }
  if (moved == 0) temp.release();
  if (moved == 1) fullstats(job.name, &got);
  if (job.arrived) *job.arrived = got;  // a rename keeps the stamp measured above
  return 1;
}

int uploadfile(const char* name, const std::string& destdir, bool vtp, const char* suffix,
               std::string* source) {
  std::string dest = destdir + "/" + basename(name) + (vtp ? ".vtp" : "");
  std::string stored;
  int flags = kCopyUnique | (vtp ? kCopyVtp : 0);
  if (copyfile(name, dest.c_str(), flags, suffix, &stored) < 0) {
    warnmsg("Upload failed, file skipped: %s", printable(name).c_str());
    return 0;
  }
  std::string prefix = destdir + "/";
  if (stored.compare(0, prefix.size(), prefix) == 0) stored.erase(0, prefix.size());
  *source = stored;
  return 1;
}

int diffbeforeupload(const Remote& remote, const char* hostpath, const char* name,
                     const char* question) {
  TempFile temp{kDiffTemp};
  if (getfile(remote, hostpath, kFetchDownload, nullptr, temp.path.c_str()) < 0) {
    printmsg(outStream, "No host copy to compare: %s\n", name);
  }
  return showdiff(name, temp.path.c_str(), name, true, question);
}

}  // namespace trosk
