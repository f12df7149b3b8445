// Measuring a local file for the comparison: the quick form takes size and
// modification stamp from one file-status call and reads no content; the
// full form adds the sums and tells text from binary.
#pragma once

#include "repo/filestats.h"

namespace trosk {

struct RunContext;
struct SourceFile;

// Size, date and time of a regular file from one stat call. Returns 1 when
// it is a regular file, 0 when it does not exist or is not a regular file
// (the stats are then all zero).
int quickstats(const char* path, FileStats* stats);
// The same for `name` in the directory open as `dirfd` (AT_FDCWD: the
// working directory).
int quickstatsat(int dirfd, const char* name, FileStats* stats);

// Size, sums, version, date and time (and with kStatsSha256 in `flags` the
// digest, from the same read), read through `scratch` (whose buffer serves
// every measurement of the caller). Returns the file kind (kFileText,
// kFileBinary, kFileExistsEmpty), or -1 when there is no regular file (the
// stats are then all zero).
int fullstats(RunContext& rc, const char* path, FileStats* stats, SourceFile& scratch,
              int flags = 0);

}  // namespace trosk
