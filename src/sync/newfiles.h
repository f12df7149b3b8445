// The files of the working directory that the host's log does not name: one
// walk of the tree that passes over hidden names, the backup directory, the
// tool's own and temporary files and symbolic links, for a front end that
// offers the new files beside the status.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "repo/filestats.h"

namespace trosk {

struct RunContext;

// At most this many are reported: a hostile tree cannot flood a window.
inline constexpr std::size_t kMaxNewFiles = 100000;

// A name as the walk spells it: its components joined by '/', empty and "."
// components left out ("./sub\\a.c" is "sub/a.c").
std::string walkname(std::string_view name);

struct NewFile {
  std::string name;  // relative to the working directory, '/' separated
  FileStats stats;   // size, date and time only
};

// The regular files below the working directory whose walk names `known`
// does not hold, sorted by name, at most `limit` of them; `project` and
// `localname` tell the tool's own files (see isownfile). The walk stops
// early when the run is asked to stop.
std::vector<NewFile> newfiles(RunContext& rc, const std::unordered_set<std::string>& known,
                              const char* project, const char* localname,
                              std::size_t limit = kMaxNewFiles);

}  // namespace trosk
