// The working directory of one run. A run reads and writes its files by
// names relative to its working directory; two runs on two threads of one
// process each have their own, because the thread that runs a command stops
// sharing the process's directory (and only that thread's changes).
#pragma once

namespace trosk {

// Makes `dir` the working directory of the calling thread alone: the
// process's other threads keep theirs. Returns 0, or -1 when the directory
// cannot be entered (errno says why).
int enterworkdir(const char* dir);

}  // namespace trosk
