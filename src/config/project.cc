#include "config/project.h"

#include <string>

#include "core/strutil.h"

namespace trosk {

const char* const kStatusWords[] = {"modified", "missing", "source", "older", "newer", nullptr};

int findproject(const ProjectTable& table, const char* name) {
  if (!name || !name[0]) return -1;
  std::size_t n = std::char_traits<char>::length(name);
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (strncmpi(table[i].name, name, n) == 0) return static_cast<int>(i);
  }
  return -1;
}

void trusthostkey(ProjectRun& project, const std::string& print) {
  if (print == project.entry.trust) return;
  copystr(print.c_str(), project.entry.trust, kFingerprintSize - 1);
  project.trustchanged = true;
}

}  // namespace trosk
