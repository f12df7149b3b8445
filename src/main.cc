// The command-line entry: reads the options, prints the banner and runs the
// chosen projects.
#include <cstdio>

#include "config/banner.h"
#include "config/options.h"
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
  int flags = parseoptions(runSettings, argv, argc);
  if (runSettings.peerMode == 0) showbanner();
  (void)flags;
  printmsg(outStream, "\n");
  if (verboseLevel != 0) timerlog(-1, 0, nullptr);
  endprocess(0);
}
