// Commands run one after another in one process, as a window runs them,
// leave the same files, logs and messages as the same commands run as
// separate processes of the real program, even when the first one ends in
// an error; and the error leaves no file or connection open.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <latch>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "app/driver.h"
#include "console/console.h"
#include "core/output.h"
#include "core/runerror.h"
#include "core/workdir-posix.h"
#include "net/nginx.h"
#include "sync/run.h"
#include "testing/testing.h"
#include "twocopies.h"

namespace trosk {
namespace {

namespace fs = std::filesystem;
using testing::readfile;
using testing::writefile;

struct Command {
  std::vector<std::string> args;  // without the program name
  std::string input;              // standard input
};

struct Outcome {
  int code = 0;
  std::string out, err;
};

using testing::quoted;

Outcome runbinary(const fs::path& dir, const Command& run) {
  writefile(dir / ".in", run.input);
  std::string command = "cd " + quoted(dir) + " && " + quoted(TROSK_BINARY);
  for (const std::string& a : run.args) command += " " + quoted(a);
  command += " <.in >.out 2>.err";
  int status = std::system(command.c_str());
  Outcome o{WIFEXITED(status) ? WEXITSTATUS(status) : -1, readfile(dir / ".out"),
            readfile(dir / ".err")};
  fs::remove(dir / ".in");
  fs::remove(dir / ".out");
  fs::remove(dir / ".err");
  return o;
}

int openfiles() {
  int n = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator("/proc/self/fd")) ++n;
  return n;
}

// Runs the command line in this process, with standard output and error
// going to files as the program's would.
Outcome runhere(const fs::path& dir, const Command& run) {
  fs::path previous = fs::current_path();
  fs::current_path(dir);
  writefile(".in", run.input);
  std::vector<std::string> words{"trosk"};
  words.insert(words.end(), run.args.begin(), run.args.end());
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());

  std::fflush(stdout);
  std::fflush(stderr);
  int savedout = dup(1), savederr = dup(2);
  int out = open(".out", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  int err = open(".err", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  dup2(out, 1);
  dup2(err, 2);
  close(out);
  close(err);
  FILE* in = std::fopen(".in", "r");
  Outcome o;
  {
    // One run per command, as the program's main makes it.
    ConsoleFrontend console(in, stderr);
    Run command(console);
    command.context.output.echo = stdout;
    try {
      o.code = runcommandline(command, static_cast<int>(argv.size()), argv.data()) & 0xFF;
    } catch (const RunError& e) {
      o.code = e.code() & 0xFF;
    }
    std::fflush(stdout);
    std::fflush(stderr);
  }
  std::fclose(in);
  dup2(savedout, 1);
  dup2(savederr, 2);
  close(savedout);
  close(savederr);
  o.out = readfile(".out");
  o.err = readfile(".err");
  for (const char* f : {".in", ".out", ".err"}) fs::remove(f);
  fs::current_path(previous);
  return o;
}

// Runs the command line on a thread of its own that works in `dir`, with
// the run's own input, output and error files: what the program would read
// and print, with no descriptor of the process redirected.
Outcome runonthread(const fs::path& dir, const Command& run, std::latch& start) {
  Outcome o;
  std::thread worker([&] {
    if (enterworkdir(dir.c_str()) != 0) {
      o.code = -1;
      start.count_down();
      return;
    }
    writefile(dir / ".in", run.input);
    std::vector<std::string> words{"trosk"};
    words.insert(words.end(), run.args.begin(), run.args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    FILE* in = std::fopen(".in", "r");
    FILE* out = std::fopen(".out", "w");
    FILE* err = std::fopen(".err", "w");
    {
      ConsoleFrontend console(in, err);
      Run command(console);
      command.context.output.echo = out;
      start.arrive_and_wait();
      try {
        o.code = runcommandline(command, static_cast<int>(argv.size()), argv.data()) & 0xFF;
      } catch (const RunError& e) {
        o.code = e.code() & 0xFF;
      }
    }
    for (FILE* f : {in, out, err}) std::fclose(f);
  });
  worker.join();
  return o;
}

// Dates and times of day differ between two runs made seconds apart.
std::string timeless(std::string text) {
  static const std::regex stamp(R"(\d{1,2}/\d\d/\d\d +\d{1,2}:\d\d:\d\d)");
  static const std::regex logged(R"(<(date|time)>\d+</(date|time)>)");
  return std::regex_replace(std::regex_replace(text, stamp, "<stamp>"), logged, "<$1/>");
}

std::map<std::string, std::string> tree(const fs::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    if (e.is_regular_file())
      files[fs::relative(e.path(), dir).string()] = timeless(readfile(e.path()));
  }
  return files;
}

// Adds the files of `src` (each name after a blank) to the host as a new
// source project, with the real program.
void addproject(const fs::path& src, const fs::path& host, const char* project,
                const std::string& files) {
  std::string command = "cd " + quoted(src) + " && " + quoted(TROSK_BINARY) + " " + project +
                        " -source -host " + quoted(host) + " -comment start -add" + files +
                        " >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << project;
}

TEST(TwoRuns, OneProcessLeavesWhatTwoProcessesLeave) {
  testing::ScratchDir scratch;
  fs::path host = scratch.path / "host";
  fs::create_directories(host / "trosk");
  fs::path src = scratch.path / "src";
  writefile(src / "a.txt", "alpha\n");
  writefile(src / "b.txt", "beta\n");
  writefile(src / "x.txt", "xray\n");
  writefile(src / "y.bin", std::string("\x01\x02 binary", 9));
  addproject(src, host, "web", " a.txt b.txt");
  addproject(src, host, "dir", " x.txt y.bin");
  fs::remove(host / "trosk/web/web_1/b.txt_v1");  // the web download ends in an error
  testing::Nginx web(scratch.path, host);
  ASSERT_EQ(web.error, "");

  std::vector<Command> runs{{{"web", "-host", web.host(), "-access", "0", "-download"}, "y\n"},
                        {{"dir", "-host", host.string(), "-download"}, "y\ny\n"}};
  fs::path apart = scratch.path / "apart", together = scratch.path / "together";
  fs::create_directories(apart);
  fs::create_directories(together);
  std::vector<Outcome> expected, got;
  for (const Command& r : runs) expected.push_back(runbinary(apart, r));
  int before = openfiles();
  got.push_back(runhere(together, runs[0]));
  EXPECT_EQ(openfiles(), before);  // no socket, log or temporary file left open
  got.push_back(runhere(together, runs[1]));

  ASSERT_EQ(expected[0].code, 255) << expected[0].err;
  ASSERT_EQ(expected[1].code, 0) << expected[1].err;
  for (std::size_t i = 0; i < runs.size(); ++i) {
    EXPECT_EQ(got[i].code, expected[i].code) << i;
    EXPECT_EQ(timeless(got[i].out), timeless(expected[i].out)) << i;
    EXPECT_EQ(timeless(got[i].err), timeless(expected[i].err)) << i;
  }
  EXPECT_EQ(tree(together), tree(apart));
  EXPECT_TRUE(fs::exists(together / "trosk_project.xml"));
}

TEST(TwoRuns, AtTheSameTimeOnTwoThreadsLeaveWhatTwoProcessesLeave) {
  testing::ScratchDir scratch;
  fs::path host = scratch.path / "host";
  fs::create_directories(host / "trosk");
  fs::path src = scratch.path / "src";
  std::string web, dir;
  for (int i = 0; i < 150; ++i) {
    std::string n = std::to_string(i);
    writefile(src / ("w" + n + ".txt"), "web file " + n + "\n");
    writefile(src / ("d" + n + ".txt"), std::string(100 + i, 'd') + "\n");
    web += " w" + n + ".txt";
    dir += " d" + n + ".txt";
  }
  addproject(src, host, "web", web);
  addproject(src, host, "dir", dir);
  fs::remove(host / "trosk/web/web_1/w149.txt_v1");  // the web download ends in an error
  testing::Nginx nginx(scratch.path, host);
  ASSERT_EQ(nginx.error, "");

  std::vector<Command> runs{{{"web", "-host", nginx.host(), "-access", "0", "-download"}, "y\nA\n"},
                        {{"dir", "-host", host.string(), "-download"}, "y\nA\ny\n"}};
  std::vector<Outcome> expected;
  for (const Command& r : runs) {
    fs::path apart = scratch.path / "apart" / r.args[0];
    fs::create_directories(apart);
    expected.push_back(runbinary(apart, r));
  }
  ASSERT_EQ(expected[0].code, 255) << expected[0].err;
  ASSERT_EQ(expected[1].code, 0) << expected[1].err;

  std::latch start(2);
  std::vector<Outcome> got(2);
  std::vector<std::thread> threads;
  fs::path previous = fs::current_path();
  for (std::size_t i = 0; i < runs.size(); ++i) {
    fs::path together = scratch.path / "together" / runs[i].args[0];
    fs::create_directories(together);
    threads.emplace_back([&, i, together] { got[i] = runonthread(together, runs[i], start); });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(fs::current_path(), previous);  // the threads' directories were their own

  for (std::size_t i = 0; i < runs.size(); ++i) {
    fs::path together = scratch.path / "together" / runs[i].args[0];
    EXPECT_EQ(got[i].code, expected[i].code) << i;
    EXPECT_EQ(timeless(readfile(together / ".out")), timeless(expected[i].out)) << i;
    EXPECT_EQ(timeless(readfile(together / ".err")), timeless(expected[i].err)) << i;
    for (const char* f : {".in", ".out", ".err"}) fs::remove(together / f);
    EXPECT_EQ(tree(together), tree(scratch.path / "apart" / runs[i].args[0])) << i;
  }
}

TEST(TwoRuns, EachRunWarnsOnceOfAnUnencryptedCredential) {
  testing::ScratchDir scratch;
  Command run{{"p", "-host", "http://trosk-test.invalid/hosts", "-access", "dXNlcjpwdw==",
               "-download"},
              "y\n"};
  for (int i = 0; i < 2; ++i) {
    Outcome o = runhere(scratch.path, run);
    EXPECT_EQ(o.code, 255);
    std::size_t first = o.err.find("travels unencrypted");
    EXPECT_NE(first, std::string::npos) << i << o.err;
    EXPECT_EQ(o.err.find("travels unencrypted", first + 1), std::string::npos) << i << o.err;
  }
}

}  // namespace
}  // namespace trosk
