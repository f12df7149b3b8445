// The questions asked before a file is overwritten: the update question
// (with "yes to all", "no to all" and "diff"), the confirmation for an older
// copy and the one for a large file; "A" and "X" hold for the rest of the run.
#pragma once

#include <cstdint>
#include <string>

namespace trosk {

struct RunContext;

inline constexpr int64_t kLargeFile = 2000000;  // host size that asks again, at every level

struct UpdateCase {
  const char* name = nullptr;
  bool upload = false;   // the host copy is overwritten
  bool exists = false;   // the local file exists
  int hostbits = 0;      // the host record compared with the local file
  int64_t hostsize = 0;  // the host record's size
  bool conflict = false;  // changed here and on the host: always confirmed
};

// Remembers "yes to all" and "no to all" in the run's promptLevel for the
// rest of the run. Returns the answer.
int remember(RunContext& rc, int answer);

// "Update local file <name> (y/n/AllYes/diff)? " ("remote" for an upload).
std::string updatequestion(const char* name, bool upload);

// Asks what rc.promptLevel calls for. Returns 1 when the file is to be
// transferred, 0 when not; `diff` is set by a 'd' answer (the differences
// are then shown before the question comes again).
int askupdate(RunContext& rc, const UpdateCase& c, bool* diff);

}  // namespace trosk
