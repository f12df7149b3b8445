// The console's side of a comparison: runs the real trosk program in a
// directory with answers on its standard input, and reads a directory tree
// with the dates and times of day that differ between two runs normalised.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace trosk::testing {

// Runs `trosk args...` in `dir` with `input` on standard input. Returns the
// exit code; standard output and error are dropped.
int runtrosk(const std::filesystem::path& dir, const std::vector<std::string>& args,
             const std::string& input = "");

// Every regular file below `dir` by its relative name, dates normalised.
std::map<std::string, std::string> tree(const std::filesystem::path& dir);

// Copies a directory with its times (so that the program sees the same
// files) and replaces `to` when it exists. False when it failed.
bool copytree(const std::filesystem::path& from, const std::filesystem::path& to);

// "line\n" for each answer.
std::string lines(const std::vector<std::string>& answers);

}  // namespace trosk::testing
