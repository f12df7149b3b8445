#include "gui/runcommand.h"

#include <cerrno>
#include <cstring>

#include "app/driver.h"
#include "core/output.h"
#include "core/runerror.h"
#include "core/workdir-posix.h"
#include "gui/unpack.h"

namespace trosk {

namespace {

void enter(Run& run, const std::string& workdir) {
  if (enterworkdir(workdir.c_str()) != 0) {
    std::string what = workdir + ": " + std::strerror(errno);
    errormsg(run.context, "Cannot enter the working directory: %s", what.c_str());
  }
}

}  // namespace

int runcommand(Run& run, const std::string& workdir, const std::vector<std::string>& words) {
  std::vector<std::string> copy = words;  // the run keeps pointers into its words
  std::vector<char*> argv;
  for (std::string& word : copy) argv.push_back(word.data());
  try {
    enter(run, workdir);
    return runcommandline(run, static_cast<int>(argv.size()), argv.data()) & 0xFF;
  } catch (const RunError& error) {
    return error.code() & 0xFF;
  }
}

int rununpack(Run& run, const std::string& workdir, const std::string& archive,
              const std::string& project) {
  try {
    enter(run, workdir);
    unpackarchive(run.context, archive, project);
    return 0;
  } catch (const RunError& error) {
    return error.code() & 0xFF;
  }
}

void closecommand(Run& run) {
  printmsg(run.context, "\n%s\n", kClosingLine);
  closeoutput(run.context);
}

}  // namespace trosk
