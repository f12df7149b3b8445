// The settings of one project as the settings dialog shows them: the fields
// the project list stores, read from it and saved through its writer, and
// those the window keeps for the session; checked in the dialog's own words
// before a command meets them.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/frontend.h"
#include "gui/commandline.h"

namespace trosk {

struct ProjectSettings {
  std::string name;
  // Stored in the project list.
  std::string host, user, remotedir, suffix;
  std::string host2;  // the direct path uploads write when the host is not one; read only
  bool source = false;
  bool backup = true;
  int release = 0;  // 0: stable unless the list says otherwise; kReleaseStable/Beta/Alpha
  // Not stored by the list's writer: kept for the session.
  SessionOptions session;
};

// The projects of the list of the working directory `dir`, in file order
// (empty when there is none).
std::vector<ProjectSettings> listedprojects(const std::string& dir);

// A setting a command could not take: the dialog's name for its field
// ("host", "port", "user", "login", "platform", "version") and
// why, in a sentence for the person filling it in.
struct SettingsProblem {
  std::string field;
  std::string message;
};

// The first such setting in the dialog's order, or none.
std::optional<SettingsProblem> findproblem(const ProjectSettings& settings);

// Whether an upload can run: a source project whose host is a direct local
// path, or that names one as host2.
bool canupload(const ProjectSettings& settings);

// Puts the stored settings into the project's entry of the list of `dir` (a
// new entry for a project not listed yet) and asks, through `frontend`, to
// save the list. Returns true when it was saved.
bool savesettings(Frontend& frontend, const std::string& dir, const ProjectSettings& settings);

}  // namespace trosk
