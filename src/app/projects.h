// The project list file: the projects a user follows in the working directory
// and how to reach their hosts. Read into the run's project table, searched
// by abbreviation, extended, and written back when the user agrees.
#pragma once

#include "config/options.h"
#include "config/project.h"
#include "sync/run.h"

namespace trosk {

// The credential used when no -access option is given (a Base64 user:password pair).
inline constexpr const char* kBuiltinCredential = "kQ3vZt8LmW2pXa9RfYc4HnB6sQ==";

// Reads the list (first under the name without its leading '.', then as
// given) in directory `dir` into `table`. Returns the number of projects
// read; 0 leaves the table as it was (missing or unparsable file, or no
// "project" element).
int readprojects(RunContext& rc, ProjectTable& table, const char* filename,
                 const char* dir = ".");
// Writes the whole table. Returns 0, or -2 when the file could not be written.
int writeprojects(RunContext& rc, const ProjectTable& table, const char* filename);
// Index of the listed project called `name`, or of a new entry appended for
// it from the run's settings.
int addproject(Run& run, const char* name);
// Loads the list, sets the credential, asks for a project name when there is
// neither a name nor a list ("No project found" ends the run on an empty
// answer) and returns the index of the run's first project.
int selectproject(Run& run);

}  // namespace trosk
