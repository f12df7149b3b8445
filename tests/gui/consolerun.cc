#include "consolerun.h"

#include <sys/wait.h>

#include <cstdlib>
#include <regex>

#include "testing/testing.h"

namespace trosk::testing {
namespace {

namespace fs = std::filesystem;

std::string quoted(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

std::string timeless(std::string text) {
  static const std::regex stamp(R"(\d{1,2}/\d\d/\d\d +\d{1,2}:\d\d:\d\d)");
  static const std::regex logged(R"(<(date|time)>\d+</(date|time)>)");
  return std::regex_replace(std::regex_replace(text, stamp, "<stamp>"), logged, "<$1/>");
}

}  // namespace

int runtrosk(const fs::path& dir, const std::vector<std::string>& args, const std::string& input) {
  fs::path in = dir.parent_path() / (dir.filename().string() + ".in");
  writefile(in, input);
  std::string command = "cd " + quoted(dir) + " && " + quoted(TROSK_BINARY);
  for (const std::string& a : args) command += " " + quoted(a);
  command += " <" + quoted(in) + " >/dev/null 2>&1";
  int status = std::system(command.c_str());
  fs::remove(in);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::map<std::string, std::string> tree(const fs::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    if (e.is_regular_file() && !e.is_symlink())
      files[fs::relative(e.path(), dir).string()] = timeless(readfile(e.path()));
  }
  return files;
}

bool copytree(const fs::path& from, const fs::path& to) {
  fs::remove_all(to);
  fs::create_directories(to.parent_path());
  std::string command = "cp -a " + quoted(from) + " " + quoted(to);
  return std::system(command.c_str()) == 0;
}

std::string lines(const std::vector<std::string>& answers) {
  std::string text;
  for (const std::string& a : answers) text += a + "\n";
  return text;
}

}  // namespace trosk::testing
