// The user-facing side of a run: questions, alerts, progress, and what the
// run did file by file. The engine talks only to this interface; the console
// and the window implement it, and tests replace it. The text output goes
// to the output file whatever the front end; the events here come beside it
// for a front end that shows results in its own way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace trosk {

// An alert: "TROSK error -- ...", "TROSK Warning -- ..." or a host's alert
// text; for a fatal error also the cause of the failure behind it, when one
// was found ("HTTP 401: ...").
struct Alert {
  std::string_view text;
  std::string_view cause;
  bool error = false;  // the run ends after it
};

// Where the run stands: files done of the files to move (during a status,
// of the files to compare), bytes done of the bytes to move with the part
// of the file in hand, and that file.
struct Progress {
  long long filesDone = 0;
  long long filesTotal = 0;
  long long bytesDone = 0;
  long long bytesTotal = 0;
  std::string_view file;     // the file in hand; empty between files
  std::string_view caption;  // the step, as the progress caption names it
  int percent = 0;           // of the whole step, 0-100
};

// One file as the comparison found it: the word of the status listing
// ("Modified", "Missing", "Unchanged", "Old", "Newer"; "New" for a file of
// the working directory the host's log does not name, reported when the
// run asks for it), the host's record
// and, when the file exists, the local one; dates as the listing prints them.
struct FileState {
  std::string_view name;
  std::string_view state;
  bool localExists = false;
  long long localSize = 0;
  long long hostSize = 0;
  std::string_view localDate;
  std::string_view hostDate;
  bool differs = false;  // the contents differ, or the file is missing
  // Against the record the local log kept of the file (the state both sides
  // last shared), when it has one: changed here, on the host, or on both.
  bool changedHere = false;
  bool changedOnHost = false;
};

// What became of a file the run meant to move.
enum class FileOutcome {
  kDownloaded,
  kUploaded,
  kKept,      // the user answered no
  kBackedUp,  // downloaded after the local file was backed up (detail: the backup)
  kLeft,      // left for a later run by the transfer limit
  kRefused,   // detail: why (changed on the host, a conflict at -prompt 0, an unsafe name)
  kFailed,    // detail: the cause
};
inline constexpr int kFileOutcomes = 7;

struct FileResult {
  std::string_view name;
  FileOutcome outcome = FileOutcome::kDownloaded;
  std::string_view detail;
};

// The end of one project's comparison.
struct RunSummary {
  std::string_view project;
  int counts[kFileOutcomes] = {};  // by FileOutcome
  int compared = 0;                // files looked at
  long long bytes = 0;             // bytes moved
  double seconds = 0;
  bool cancelled = false;
};

// The differences a 'd' answer (or a front end's request) printed, with the
// two copies they came from while they exist, so that a window can lay the
// two sides next to each other.
struct Difference {
  std::string_view text;       // as printed: a unified diff, or the note given in its place
  std::string_view name;       // the file of the project
  std::string_view localpath;  // empty when the sides cannot be compared line by line
  std::string_view hostpath;
  bool upload = false;  // the local copy would replace the host's
};

// One line of the host's version log.
struct VersionEntry {
  std::string_view date;  // as the log has it
  int version = 0;
  int subversion = 0;
  std::string_view activity;  // "Upload new subversion", "Added files", ...
  std::string_view comment;   // empty when none was given
};

// The versions the host's catalogue names, and the one the working
// directory has (0 for none).
struct ReleaseVersions {
  int stable = 0;
  int beta = 0;
  int alpha = 0;
  int haveVersion = 0;
  int haveSubversion = 0;
};

// A signed host's key, to trust or not: its fingerprint, and the one
// trusted before when the key has changed (empty the first time).
struct KeyQuestion {
  std::string_view project;
  std::string_view fingerprint;
  std::string_view trusted;
};

enum class KeyAnswer { kAsk, kTrust, kRefuse };

struct Frontend {
  virtual ~Frontend() = default;
  // Shows the question and fills `answer` (capacity `size`, always
  // NUL-terminated) with what the user typed. `letters` is null for a line
  // of text, else the one-letter answers the question accepts (a subset of
  // "ynYNAXd").
  virtual void ask(std::string_view question, char* answer, std::size_t size,
                   const char* letters) = 0;
  // Shows an alert and returns when the user has seen it.
  virtual void alert(const Alert& alert) = 0;
  // The run has moved on.
  virtual void progress(const Progress& progress) = 0;
  // The step that showed progress has ended: its bar goes.
  virtual void progressdone() {}
  // Text shown in front of the progress bar; empty clears it.
  virtual void caption(std::string_view text) = 0;
  // The line differences (or the note printed instead) that a 'd' answer
  // has just printed, before the question comes again; and the archives a
  // download brought. Both are already in the output: a front end that shows
  // the output as it is printed (the console) needs nothing more, a window
  // shows the differences apart and offers to unpack the archives.
  virtual void difference(const Difference&) {}
  virtual void archives(const std::vector<std::string>&) {}
  // True when the front end unpacks arrived archives itself: the output
  // then names them without advising outside commands.
  virtual bool unpacksarchives() const { return false; }
  // A project's turn in the run begins (a run over the whole list has one
  // per project).
  virtual void projectstart(std::string_view) {}
  // What a versions display found: the catalogue's versions, then each line
  // of the version log in its order.
  virtual void releases(const ReleaseVersions&) {}
  virtual void versionentry(const VersionEntry&) {}
  // Each file the comparison looks at, then its outcome when it was to
  // move, then the project's summary.
  virtual void filestate(const FileState&) {}
  virtual void fileresult(const FileResult&) {}
  virtual void summary(const RunSummary&) {}
  // Whether to trust a signed host's key. kAsk: the front end has no
  // question of its own, and the key is asked about as any question is.
  virtual KeyAnswer trustkey(const KeyQuestion&) { return KeyAnswer::kAsk; }
};

// A front end that answers every question with an empty line (no) and
// writes alerts to standard error: for runs that ask nothing of anyone.
struct QuietFrontend final : Frontend {
  void ask(std::string_view, char* answer, std::size_t size, const char*) override;
  void alert(const Alert& alert) override;
  void progress(const Progress&) override {}
  void caption(std::string_view) override {}
};

}  // namespace trosk
