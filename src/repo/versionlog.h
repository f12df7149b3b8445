// The version log: one line per change of a host version, appended to
// "versionlog.txt" in the host's project directory.
#pragma once

#include <string>
#include <string_view>

#include "core/frontend.h"
#include "core/tempfile.h"

namespace trosk {

struct RunContext;

// The comment of a version-log line: `given` (-comment) when not null,
// else the answer to "Add comment: " (empty when there is none).
std::string askcomment(RunContext& rc, const char* given);
// Appends "<date> <V>/<S>  <activity>[ -- <comment>]" to the version log in
// `projectdir`, the project's directory on the host. Asks "Add comment: "
// first when `comment` is null. Returns 0, or -2 when the log cannot be
// written.
int versionlog(RunContext& rc, const std::string& projectdir, const char* activity, int version,
               int subversion, const char* comment);
// The same line with the given comment, asking nothing.
int writeversionline(RunContext& rc, const std::string& projectdir, const char* activity,
                     int version, int subversion, std::string comment);
// The line writeversionline appends (with its line end), dated now.
std::string versionline(RunContext& rc, const char* activity, int version, int subversion,
                        std::string comment);
// Appends `line` to the version log in `projectdir`. Returns 0 or -2.
int appendversionline(RunContext& rc, const std::string& projectdir, const std::string& line);

// An add notes the line it will append in the working directory before it
// changes the host; the note goes when the add ends, so a note found by the
// next add is one that was killed on the way. Followed by the project's
// name, the note is marked as a temporary file that no sweep removes (no
// process number follows the mark).
inline constexpr const char* kLineNote = ".trosk-line-";
// The note's guard, which removes it when it goes; its path is empty when
// the note cannot be written.
TempFile notelineahead(const char* project, const std::string& projectdir, const std::string& line);
// The line of the note an interrupted add of `project` to the host's
// `projectdir` left, or "" when there is none.
std::string interruptedline(const char* project, const std::string& projectdir);
// 1 when the version log holds `line` (with its line end) as one of its lines.
int holdsline(const std::string& projectdir, const std::string& line);
// Reads one line as writeversionline writes it (its line end may be left
// on): the date text, a blank, "%5d/%-4d", two blanks, the activity, and
// " -- <comment>" when one was given. Returns false, leaving `out` as it
// was, for a line of any other shape or with a number beyond an int; the
// views of `out` point into `line`.
bool parseversionline(std::string_view line, VersionEntry* out);
// 1 when the version log has a line for V/S, else 0.
int hasversionline(const std::string& projectdir, int version, int subversion);

}  // namespace trosk
