// One command of the window, run the way the console runs its command line
// (the same words through the same parser, banner, project choice and run),
// where an error ends the command and not the program, and the output file
// that the window shows afterwards.
#pragma once

#include <string>
#include <vector>

namespace trosk {

inline constexpr const char* kClosingLine = "[Close this window to return to Trosk command menu]";

// Runs the words (the first one is the program's name). Returns the exit
// code the console would give: 0, or 255 after an error, whose alert the
// front end has shown.
int runcommand(const std::vector<std::string>& words);

// Ends the command's output: the closing line, then the file is closed so
// that the next command starts it afresh.
void closecommand();

}  // namespace trosk
