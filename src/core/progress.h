// How far a run's step has come, as its front end shows it: the caption of
// the step, files done of the files the step means to move (or, while it
// only compares, to look at), bytes done of the bytes to move, and the file
// in hand. The front end hears of it when the percentage or the file in
// hand changes, and when the step ends, however it ends.
#pragma once

#include <string>
#include <string_view>

namespace trosk {

struct RunContext;

struct ProgressMeter {
  bool enabled = true;  // -nobar switches the reports off
  bool active = false;  // a step is under way
  std::string caption;
  long long filesDone = 0, filesTotal = 0;
  long long bytesDone = 0, bytesTotal = 0;  // of the files finished
  std::string file;                         // the file in hand
  long long fileSize = 0;                   // its bytes to move
  long long fileBytes = 0;                  // its bytes so far
  int shown = -1;                           // the percentage shown; -1 when none is
};

// Shows `text` in front of the progress (empty clears it). Returns 0.
int setcaption(RunContext& rc, std::string_view text);

// Begins a step of `files` files and `bytes` bytes (0 when not known).
void progressbegin(RunContext& rc, long long files, long long bytes);
// Changes what the step expects by `files` and `bytes` (a file it did not
// foresee, or one it foresaw and did not move).
void progressexpect(RunContext& rc, long long files, long long bytes);
// The file in hand, of `bytes` bytes.
void progressfile(RunContext& rc, std::string_view name, long long bytes);
// `done` of the `of` bytes the file in hand travels as (armour makes more of
// them than the file has; of <= 0: as many as it has).
void progressbytes(RunContext& rc, long long done, long long of);
// The file in hand is finished, with `bytes` moved.
void progressfiledone(RunContext& rc, long long bytes);
// The step has ended: its bar goes.
void progressend(RunContext& rc);

// Ends a step when it goes out of scope, an error unwinding through it included.
struct ProgressStep {
  explicit ProgressStep(RunContext& r) : rc(r) {}
  ~ProgressStep() { progressend(rc); }
  ProgressStep(const ProgressStep&) = delete;
  ProgressStep& operator=(const ProgressStep&) = delete;
  RunContext& rc;
};

}  // namespace trosk
