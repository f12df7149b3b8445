// Backups of local files that a download replaces: a copy under "Trosk_bkup"
// in the working directory, keeping the file's relative path. An earlier
// backup is never overwritten; a taken name gets ".1", ".2", ... added.
#pragma once

#include <string>

namespace trosk {

struct RunContext;

inline constexpr int kMaxBackupNames = 10000;  // tries per file before giving up

// Copies the file at `relpath` (relative to the working directory) into the
// backup directory under the first free name, claimed atomically. `stored`
// (may be null) receives the path written. Returns 0, -1 when the file
// cannot be read, -2 when the backup cannot be written or its directory
// passes through a symbolic link.
int backupfile(RunContext& rc, const char* relpath, std::string* stored);

}  // namespace trosk
