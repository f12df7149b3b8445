// Names that come from a user or a host and become paths below a directory:
// only plain relative names stay inside it.
#pragma once

#include <cstddef>
#include <string_view>

namespace trosk {

// 0 when the name is a plain relative path: not empty, not absolute, no
// drive letter, no ".." component ('/' or '\\' separated), no control byte.
// Otherwise a negative code (see unsafereason).
int checkrelpath(std::string_view name);
// Says why checkrelpath refused a name: a short text for a code < 0.
const char* unsafereason(int code);

// True for the separators of relative names, '/' and '\\'.
inline bool isslash(char c) { return c == '/' || c == '\\'; }

// Calls `each` with every component of a path, '/' and '\\' both
// separating; empty and "." components say nothing about where the path
// leads and are passed over. Stops early when `each` returns false.
template <class Each>
void components(std::string_view name, Each each) {
  std::size_t start = 0;
  for (std::size_t i = 0; i <= name.size(); ++i) {
    if (i < name.size() && !isslash(name[i])) continue;
    std::string_view part = name.substr(start, i - start);
    start = i + 1;
    if (!part.empty() && part != "." && !each(part)) return;
  }
}

}  // namespace trosk
