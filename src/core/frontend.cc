#include "core/frontend.h"

#include <cstdio>

namespace trosk {
namespace {

struct QuietFrontend final : Frontend {
  void ask(std::string_view, char* answer, std::size_t size, bool) override {
    if (size > 0) answer[0] = '\0';
  }
  void alert(std::string_view text) override {
    std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
  }
  int progress(int) override { return 0; }
  void caption(std::string_view) override {}
};

QuietFrontend quietFrontend;
Frontend* current = &quietFrontend;

}  // namespace

Frontend& frontend() { return *current; }

Frontend* setfrontend(Frontend* f) {
  Frontend* previous = current;
  current = f ? f : &quietFrontend;
  return previous;
}

}  // namespace trosk
