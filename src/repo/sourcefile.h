// A file about to be stored on the host, read once: measured as filecheck
// measures it and, when it is small, kept in memory, so that measuring and
// storing it do not open and read it twice.
#pragma once

#include <cstddef>
#include <string>

#include "repo/filestats.h"

namespace trosk {

struct RunContext;

// Larger files are read again when they are stored.
inline constexpr std::size_t kKeptBytes = std::size_t{4} << 20;

struct SourceFile {
  FileStats stats;
  bool whole = false;       // `bytes` holds the whole file
  bool executable = false;  // an execute bit is set (known with `bytes`)
  std::string bytes;
};

// Measures `path` as filecheck(path, &file.stats, flags) does (flags 0 or
// kStatsSha256) and keeps its bytes when they are no more than kKeptBytes.
// Returns the kind filecheck returns.
int readsource(RunContext& rc, const char* path, SourceFile& file, int flags);
// The same for a regular file only: -1 (and the statistics all zero) when
// `path` is no regular file or cannot be read.
int readregular(RunContext& rc, const char* path, SourceFile& file, int flags);
// Measures the regular file `path` that was just written with the bytes
// `file.bytes` holds: from them, when the file has their size (one status
// call for its stamp), else as readregular does.
int measurewritten(RunContext& rc, const char* path, SourceFile& file, int flags);

}  // namespace trosk
