// The app tests' common ground: a project P on a directory host with two
// working directories (src, the source project; dst, a downloaded copy),
// the trosk program run there as a user would, and a command line run in
// this process over a front end of the test's own.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/driver.h"
#include "core/runerror.h"
#include "sync/run.h"
#include "testing/testing.h"

namespace trosk::testing {

inline std::string quoted(const std::string& s) { return "'" + s + "'"; }

class TwoCopies : public ::testing::Test {
 protected:
  // Files f1.txt to f5.txt hold `content`.
  explicit TwoCopies(std::string content = "file\n") : content_(std::move(content)) {}

  void SetUp() override {
    std::filesystem::create_directories(host / "trosk");
    for (int i = 1; i <= 5; ++i) writefile(src / ("f" + std::to_string(i) + ".txt"), content_);
    shell(src, "P -source -host " + quoted(host.string()) +
                   " -comment s -add f1.txt f2.txt f3.txt f4.txt f5.txt");
    std::filesystem::create_directories(dst);
    shell(dst, "P -host " + quoted(host.string()) + " -download -prompt 0");
  }

  // The program in `dir`, every question answered yes.
  void shell(const std::filesystem::path& dir, const std::string& args) {
    std::string command = "cd " + quoted(dir.string()) + " && yes | " + quoted(TROSK_BINARY) +
                          " " + args + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << args;
  }

  ScratchDir scratch;
  std::filesystem::path host = scratch.path / "host";
  std::filesystem::path src = scratch.path / "src";
  std::filesystem::path dst = scratch.path / "dst";

 private:
  std::string content_;
};

// Runs "trosk <words>" in `dir` in this process over `ui`, `prepare` setting
// up the run first. Returns its output file; `code` gets the exit code (that
// of the error that ended it, if one did).
inline std::string runhere(const std::filesystem::path& dir, Frontend& ui,
                           std::vector<std::string> words,
                           const std::function<void(Run&)>& prepare = {}, int* code = nullptr) {
  std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  words.insert(words.begin(), "trosk");
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  int result;
  {
    Run run(ui);
    if (prepare) prepare(run);
    try {
      result = runcommandline(run, static_cast<int>(argv.size()), argv.data());
    } catch (const RunError& error) {
      result = error.code();
    }
  }
  if (code) *code = result;
  std::string output = readfile("trosk_tmp.txt");
  std::filesystem::current_path(previous);
  return output;
}

}  // namespace trosk::testing
