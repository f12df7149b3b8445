// The settings of one project as the settings dialog shows them: the fields
// the project list stores, read from it and saved through its writer, and
// those the window keeps for the session; all checked by the command line's
// own parser, so that a bad value meets the console's message.
#pragma once

#include <string>
#include <vector>

#include "core/frontend.h"
#include "gui/commandline.h"

namespace trosk {

struct ProjectSettings {
  std::string name;
  // Stored in the project list.
  std::string host, user, remotedir, suffix;
  bool source = false;
  bool backup = true;
  int release = 0;  // 0: stable unless the list says otherwise; kReleaseStable/Beta/Alpha
  // Not stored by the list's writer: kept for the session.
  SessionOptions session;
};

// The projects of the list of the working directory `dir`, in file order
// (empty when there is none).
std::vector<ProjectSettings> listedprojects(const std::string& dir);

// Checks the settings as the command line would check the same options. A
// bad one ends with the console's "TROSK error -- ..." alert through
// `frontend` (RunError).
void checksettings(Frontend& frontend, const ProjectSettings& settings);

// Puts the stored settings into the project's entry of the list of `dir` (a
// new entry for a project not listed yet) and asks, through `frontend`, to
// save the list. Returns true when it was saved.
bool savesettings(Frontend& frontend, const std::string& dir, const ProjectSettings& settings);

}  // namespace trosk
