// One command of the window, run the way the console runs its command line
// (the same words through the same parser, banner, project choice and run),
// in the working directory the window names, where an error ends the command
// and not the program, and the output file that the window shows afterwards.
#pragma once

#include <string>
#include <vector>

#include "sync/run.h"

namespace trosk {

inline constexpr const char* kClosingLine = "[Close this window to return to Trosk command menu]";

// Runs the words (the first one is the program's name) as `run`, on the
// calling thread, which works in `workdir` from then on (the other threads
// of the program keep theirs). Returns the exit code the console would give:
// 0, 255 after an error, whose alert the front end has shown, or
// kCancelledCode after the run was stopped on request.
int runcommand(Run& run, const std::string& workdir, const std::vector<std::string>& words);

// Unpacks the archive (a file of the working directory) as a command of
// its own, with the same refusals and questions as after a download.
// Returns 0, or the exit code of the error that ended it.
int rununpack(Run& run, const std::string& workdir, const std::string& archive,
              const std::string& project);

// Ends the command's output: the closing line, then the file is closed, so
// that nothing more goes into it.
void closecommand(Run& run);

}  // namespace trosk
