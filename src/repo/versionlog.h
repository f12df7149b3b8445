// The version log: one line per change of a host version, appended to
// "versionlog.txt" in the host's project directory.
#pragma once

#include <string>

namespace trosk {

// Appends "<date> <V>/<S>  <activity>[ -- <comment>]" to the version log in
// `projectdir`, the project's directory on the host. Asks "Add comment: "
// first when no -comment was given. Returns 0, or -2 when the log cannot be
// written.
int versionlog(const std::string& projectdir, const char* activity, int version, int subversion);
// The same line with the given comment, asking nothing.
int writeversionline(const std::string& projectdir, const char* activity, int version,
                     int subversion, std::string comment);
// 1 when the version log has a line for V/S, else 0.
int hasversionline(const std::string& projectdir, int version, int subversion);

}  // namespace trosk
