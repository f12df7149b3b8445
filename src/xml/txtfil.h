// The whole-file text reader: one buffer sized from the file, filled in
// large blocks, with CR LF read as LF on every platform.
#pragma once

#include <cstddef>
#include <cstdio>

#include "xml/xmlnode.h"

namespace trosk {

struct RunContext;

inline constexpr std::size_t kMaxTextFile = std::size_t{1} << 30;  // 1 GiB

// Reads a whole text file (by path, or the open `stream` when path is null)
// into a NUL-terminated buffer; CR LF is read as LF. `terminator` (non-zero)
// ends the text, as does a NUL byte; `translation` is null or 2k bytes of
// replacement pairs. `length` receives the text length and `lines` (may be
// null) the number of LF bytes. Null when the file cannot be read or is
// larger than kMaxTextFile (reported).
TextBuffer txtfil(RunContext& rc, const char* path, std::size_t* length, FILE* stream, int terminator,
                  const char* translation, long* lines);

}  // namespace trosk
