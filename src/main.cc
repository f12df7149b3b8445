// The command-line entry: sets up the console front end and the message
// channels, runs the command line, and turns an error that ended the run
// into the exit code.
#include <cstdio>

#include "app/driver.h"
#include "console/console.h"
#include "core/frontend.h"
#include "core/output.h"
#include "core/runerror.h"

int main(int argc, char** argv) {
  using namespace trosk;
  ConsoleFrontend console;
  setfrontend(&console);
  outStream = stdout;
  diagStream = stdout;
  int code;
  try {
    code = runcommandline(argc, argv);
  } catch (const RunError& error) {
    code = error.code();
  }
  std::fflush(stdout);
  setfrontend(nullptr);
  return code & 0xFF;
}
