// Reading a whole stream in large blocks: the one copy loop of the system,
// whether the bytes go to another file, into a download body or to a check.
#pragma once

#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>

namespace trosk {

inline constexpr std::size_t kCopyBlock = std::size_t{256} << 10;

// Takes one block; returns false to stop.
using BlockSink = std::function<bool(const char*, std::size_t)>;

// Hands `in` to `sink` block by block until its end. Returns the bytes read,
// -1 on a read error, -2 when the sink refused a block.
long long readblocks(FILE* in, const BlockSink& sink);
// Copies `in` to `out`. Returns the bytes copied, -1 on a read error, -2 on
// a write error.
long long copystream(FILE* in, FILE* out);
// The whole of the file at `path`; empty when it cannot be read.
std::string readwholefile(const std::string& path);

}  // namespace trosk
