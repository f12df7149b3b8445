#include "gui/runcommand.h"

#include "app/driver.h"
#include "core/output.h"
#include "core/runerror.h"

namespace trosk {

int runcommand(const std::vector<std::string>& words) {
  std::vector<std::string> copy = words;  // the run keeps pointers into its words
  std::vector<char*> argv;
  for (std::string& word : copy) argv.push_back(word.data());
  try {
    return runcommandline(static_cast<int>(argv.size()), argv.data()) & 0xFF;
  } catch (const RunError& error) {
    return error.code() & 0xFF;
  }
}

void closecommand() {
  printmsg(outStream, "\n%s\n", kClosingLine);
  closeoutput();
}

}  // namespace trosk
