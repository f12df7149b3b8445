// The console front end: questions on standard error answered by one line of
// standard input (end of input answers "no"), alerts on standard error, and a
// progress line redrawn on a terminal.
#pragma once

#include <cstdio>
#include <string>

#include "core/frontend.h"

namespace trosk {

struct ConsoleFrontend final : Frontend {
  ConsoleFrontend(FILE* in = stdin, FILE* err = stderr);

  void ask(std::string_view question, char* answer, std::size_t size,
           const char* letters) override;
  void alert(const Alert& alert) override;
  void progress(const Progress& progress) override;
  void progressdone() override;
  void caption(std::string_view text) override;

 private:
  bool showsbar() const;

  FILE* in_;
  FILE* err_;
  std::string caption_;
  std::string drawn_;  // the caption on the line now
  int shown_ = -1;  // percentage on the line now, -1 when none is drawn
};

}  // namespace trosk
