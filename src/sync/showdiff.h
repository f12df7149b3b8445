// The interactive side of a transfer: the line differences of a local and a
// host copy shown before the question is asked again (the 'd' answer), and
// the hint that tells which archives arrived and how to unpack them.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace trosk {

struct RunContext;

inline constexpr std::size_t kMaxDiffFile = std::size_t{16} << 20;  // each side, read whole

// Prints the unified diff of the two files on the output ("Binary files ...
// differ" for binary content, a note when a side is too large or unreadable),
// the host side as the new text for a download and the old one for an
// upload. The front end is handed the same text as a Difference, with the
// two paths only when both copies were read as text. Returns the number of
// changed hunks, or -1 when nothing was diffed.
int printdiff(RunContext& rc, const char* localpath, const char* hostpath, const char* name, bool upload);

// Shows the differences, then asks `question` again with "ynYNAXd" ('d'
// shows them once more; "A" and "X" are remembered in rc.promptLevel).
// Returns 1 when the answer means yes, 0 when it means no.
int showdiff(RunContext& rc, const char* localpath, const char* hostpath, const char* name, bool upload,
             const char* question);

// Tells the user which archives arrived and hands them to the front end;
// the command that unpacks each (by its extension) is given unless the front
// end unpacks them itself. Returns the number of archives named.
int extracthint(RunContext& rc, const std::vector<std::string>& archives);

// The archive command for a name ("unzip -o 'a.zip'", "tar xzf 'b.tgz'",
// ...), or "" when the extension is not known.
std::string unpackcommand(const std::string& name);

}  // namespace trosk
