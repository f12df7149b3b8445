// Everything one run works with: its context (output, questions, timers,
// progress, the request to stop), its settings and command, the transport's
// state and the project list. The caller of a run (the console's main, the
// window's worker) owns one for each command and hands it down; nothing of
// a run lives anywhere else.
#pragma once

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
};

}  // namespace trosk
