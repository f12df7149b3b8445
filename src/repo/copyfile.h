// Copying files into and out of the host: plain (atomic replace), under the
// first free unique name, or encoded as VTP; and opening a file with its
// missing directories made.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace trosk {

struct RunContext;

inline constexpr int kCopyVtp = 0x20;     // encode the source as VTP
inline constexpr int kCopyUnique = 0x80;  // store as name + "_v%d%s", first free N

// The result of a copy the run was asked to stop in the middle of: nothing
// was stored, and the temporary file is gone.
inline constexpr long long kCopyCancelled = -3;

// What one writer holding the host lock has learnt while storing copies:
// the directories that exist, and for each stored name the lowest number
// that may still be free. Nothing is removed from a version while its
// writer holds the lock, so a number found taken stays taken, and storing
// the hundredth file of one base name tries one name, not a hundred.
struct StoredNames {
  std::unordered_set<std::string> dirs;
  std::unordered_map<std::string, int> next;  // by dest + '\n' + suffix
};

// Copies `source` to `dest`. With kCopyUnique the file is stored under the
// first free name dest + "_v<N><suffix>" (claimed atomically); `stored`
// (may be null) receives the path written; `names` (may be null) is what
// this writer has learnt so far, and learns from this copy. Returns the
// bytes written, -1 when the source cannot be read, -2 when the destination
// fails, kCopyCancelled when the run was cancelled.
long long copyfile(RunContext& rc, const char* source, const char* dest, int flags,
                   const char* suffix, std::string* stored, StoredNames* names = nullptr);

// Stores `bytes` as copyfile with kCopyUnique stores a file that holds them
// (VTP-encoded with kCopyVtp; executable as an executable source is).
// Returns the bytes written, or -2 when the destination fails.
long long storebytes(RunContext& rc, std::string_view bytes, const char* dest, int flags,
                     bool executable, const char* suffix, std::string* stored,
                     StoredNames* names);

// Flushes to disk what was written on the file system that holds `path`, so
// that the files a log is about to name are there before the log. Returns 0,
// or -2 when the flush failed.
int syncstore(RunContext& rc, const char* path);

}  // namespace trosk
