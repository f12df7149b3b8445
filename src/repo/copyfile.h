// Copying files into and out of the host: plain (atomic replace), under the
// first free unique name, or encoded as VTP; and opening a file with its
// missing directories made.
#pragma once

#include <cstdio>
#include <string>

namespace trosk {

inline constexpr int kCopyVtp = 0x20;     // encode the source as VTP
inline constexpr int kCopyUnique = 0x80;  // store as name + "_v%d%s", first free N

// Copies `source` to `dest`. With kCopyUnique the file is stored under the
// first free name dest + "_v<N><suffix>" (claimed atomically); `stored`
// (may be null) receives the path written. Returns the bytes written, -1
// when the source cannot be read, -2 when the destination fails.
long long copyfile(const char* source, const char* dest, int flags, const char* suffix,
                   std::string* stored);

// Flushes to disk what was written on the file system that holds `path`, so
// that the files a log is about to name are there before the log. Returns 0,
// or -2 when the flush failed.
int syncstore(const char* path);

}  // namespace trosk
