#include "core/frontend.h"

#include <cstdio>

namespace trosk {

void QuietFrontend::ask(std::string_view, char* answer, std::size_t size, const char*) {
  if (size > 0) answer[0] = '\0';
}

void QuietFrontend::alert(const Alert& alert) {
  std::fprintf(stderr, "%.*s\n", static_cast<int>(alert.text.size()), alert.text.data());
}

}  // namespace trosk
