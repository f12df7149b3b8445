// The command-line entry: sets up the console front end and the message
// channels, then runs the command line.
#include <cstdio>

#include "config/driver.h"
#include "console/console.h"
#include "core/frontend.h"
#include "core/output.h"
#include "core/timer.h"

int main(int argc, char** argv) {
  using namespace trosk;
  static ConsoleFrontend console;
  setfrontend(&console);
  timerinit();
  outStream = stdout;
  diagStream = stdout;
  frontend().caption("");
  endprocess(runcommandline(argc, argv));
}
