// Names that arrive from the host become paths in the working directory and
// the version directory: only names that stay inside them, that do not name
// one of the tool's own files, and that pass through no symbolic link are used.
#pragma once

#include <string>
#include <string_view>

#include "config/project.h"
#include "core/relpath.h"
#include "repo/hostlog.h"
#include "repo/versionlog.h"

namespace trosk {

// 1 when the name, read from the working directory, is one of the tool's own
// files there (project logs of `project` and `localname`, the project list,
// the output file, the activity log, "troskversion.txt", "stagefile.xml",
// "troskdiff.tmp", the dump, the notes of a transfer or an add on the way)
// or lies in the backup directory; else 0.
int isownfile(std::string_view name, const char* project, const char* localname);

// The name with control bytes shown as '?', fit to appear in a message.
std::string printable(std::string_view name);

// The dump file of a project: "trosk_<project>_dump.xml", or that name with
// ".dump" added when it would be one of the tool's own files.
std::string dumpname(const ProjectTable& projects, const char* project, const char* localname);

inline constexpr const char* kBackupDir = "Trosk_bkup";
inline constexpr const char* kDiffTemp = "troskdiff.tmp";
inline constexpr const char* kVersionStamp = "troskversion.txt";
// Followed by the project's name: a transfer that has begun and whose
// version "troskversion.txt" does not name yet. Marked as a temporary file
// (no process number follows the mark, so no sweep removes it).
inline constexpr const char* kTransferMark = ".trosk-stamp-";

}  // namespace trosk
