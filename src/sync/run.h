// Everything one run works with: its context (output, questions, timers,
// progress, the request to stop), its settings and command, the transport's
// state and the project list. The caller of a run (the console's main, the
// window's worker) owns one for each command and hands it down; nothing of
// a run lives anywhere else.
#pragma once

#include <string>

#include "config/options.h"
#include "config/project.h"
#include "core/frontend.h"
#include "core/runcontext.h"
#include "net/netrun.h"

namespace trosk {

struct Run {
  explicit Run(Frontend& frontend) : context(frontend) {}
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;

  RunContext context;
  RunSettings settings;
  int flags = 0;  // the command flags word
  NetRun net;
  ProjectTable projects;
  // What a window asks of a run beyond its command line; the option parser
  // leaves them as the caller set them.
  bool reportnew = false;  // a status also reports the files the host's log does not name
  std::string diffonly;    // a status compares only this file and shows its differences
};

}  // namespace trosk
