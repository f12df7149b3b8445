#include "consolerun.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

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
  // Without a shell: a command line of many files is longer than a shell takes.
  std::vector<std::string> words{TROSK_BINARY};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    int input = open(in.c_str(), O_RDONLY);
    int none = open("/dev/null", O_WRONLY);
    if (chdir(dir.c_str()) != 0 || input < 0 || none < 0) _exit(127);
    dup2(input, 0);
    dup2(none, 1);
    dup2(none, 2);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
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
