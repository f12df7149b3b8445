// Moving one file between the host and the working directory. A download
// lands in a temporary file beside its target, is measured against what the
// host log records (its SHA-256 too, when the entry has one), and replaces the local file (backed up first on request,
// keeping its permission bits) when its batch of downloads is made durable:
// one flush to disk for the whole batch, then each rename, so that a power
// cut leaves every file old or new. An upload stores the file under a new
// name on the host.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "core/tempfile.h"
#include "net/fetch.h"
#include "repo/copyfile.h"
#include "repo/filestats.h"
#include "repo/sourcefile.h"

namespace trosk {

struct RunContext;

// What became of a file the run decided to transfer.
enum class Moved {
  kDone,       // transferred
  kDeclined,   // the user said no after seeing the differences
  kFailed,     // could not be done (reported)
  kCancelled,  // the run was asked to stop: the file is as it was
};

// Downloads waiting to take their names.
class PendingMoves {
 public:
  PendingMoves() = default;
  PendingMoves(const PendingMoves&) = delete;
  PendingMoves& operator=(const PendingMoves&) = delete;

  // Queues the complete file `temp` to replace `target`; when the batch is
  // full it is made durable at once.
  void add(RunContext& rc, TempFile&& temp, std::string target, uint64_t bytes);
  // Flushes the queued files to disk, renames each over its target and
  // flushes the renames. A rename that fails ends the run. Returns 0.
  int flush(RunContext& rc);
  // The next temporary name's last part: no two of one run are alike.
  std::string nextname() { return mark_ + "dl" + std::to_string(++serial_); }

 private:
  struct Move {
    TempFile temp;  // removed unless renamed: an error leaves the old files
    std::string target;
  };
  std::vector<Move> moves_;
  uint64_t bytes_ = 0;
  std::string mark_ = tempmark();
  unsigned long long serial_ = 0;
};

struct Download {
  const Remote* remote = nullptr;
  const char* hostpath = nullptr;  // below the host root
  const char* name = nullptr;      // relative path in the working directory
  FileStats expected;              // the host entry's recorded values
  bool armoured = true;            // the host stores it in VTP armour
  bool diff = false;               // show the differences and ask `question` again
  bool backup = false;             // back up the file that is replaced
  const char* question = nullptr;
  FileStats* arrived = nullptr;  // receives the new file's measurement
  std::string* backedup = nullptr;  // receives the name of the backup made, if any
  PendingMoves* moves = nullptr;
  std::unordered_set<std::string>* made = nullptr;  // directories the run has made or met
  std::unordered_set<std::string>* linkfree = nullptr;  // directories found to be no links
  SourceFile* scratch = nullptr;  // the buffer the arrival is measured through
};

// Whether a stored name is that of a copy in VTP armour ("<name>.vtp_v<N>").
bool armouredname(const char* source);

// Fetches the file and queues it to replace the local one. Returns kDone,
// kDeclined (refused after the differences), kFailed (the arrival did not
// match the host log's size and sums, or its SHA-256 with the cause
// "SHA-256 mismatch: NAME"; a symbolic link on the way; the backup failed:
// reported) or kCancelled (the run was asked to stop; nothing of the file
// is left). A fetch that fails otherwise ends the run ("download
// unsuccessful").
Moved downloadfile(RunContext& rc, const Download& job);

// Copies the local file `name` (its bytes as `kept` holds them, when it
// holds them whole; may be null) into `destdir` under the first free name
// (base name, ".vtp" when `vtp`, then "_v<N><suffix>"), VTP-encoded when
// `vtp`; `names` is what the run has learnt about the names stored there.
// `source` receives the stored name relative to `destdir`. Returns 1, 0
// when the copy failed (reported; the file is skipped), or -1 when the run
// was cancelled during the copy (nothing stored).
int uploadfile(RunContext& rc, const char* name, const SourceFile* kept, const std::string& destdir, bool vtp,
               const char* suffix, std::string* source, StoredNames* names);

// Fetches the host copy to "troskdiff.tmp", shows the differences with the
// local file and asks `question` again; the temporary file is removed.
// Returns 1 when the answer means yes, 0 when no.
int diffbeforeupload(RunContext& rc, const Remote& remote, const char* hostpath,
                     const char* name, const char* question);

// Fetches the host copy to "troskdiff.tmp" as a download's 'd' answer does
// and prints the line differences of the local file `name` against it, the
// host side as the new text (printdiff, which hands them to the front end);
// the temporary file is removed. Returns what printdiff returns, or -2 when
// the run was asked to stop. A fetch that fails otherwise ends the run
// ("download unsuccessful").
int diffwithhost(RunContext& rc, const Remote& remote, const char* hostpath, const char* name,
                 bool armoured);

}  // namespace trosk
