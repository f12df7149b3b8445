// The command-line entry: the console front end and a run that echoes its
// output on standard output; an error or a stop that ended the run becomes
// the exit code.
#include <cstdio>

#include "app/driver.h"
#include "console/console.h"
#include "core/runerror.h"
#include "sync/run.h"

int main(int argc, char** argv) {
  using namespace trosk;
  ConsoleFrontend console;
  Run run(console);
  run.context.output.echo = stdout;
  int code;
  try {
    code = runcommandline(run, argc, argv);
  } catch (const RunError& error) {
    code = error.code();
  }
  std::fflush(stdout);
  return code & 0xFF;
}
