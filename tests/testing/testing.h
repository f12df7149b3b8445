// Shared test support: a scripted front end that records questions and
// alerts, and a scratch directory that each test works in.
#pragma once

#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "core/frontend.h"
#include "core/runcontext.h"

namespace trosk::testing {

struct FakeFrontend final : Frontend {
  void ask(std::string_view question, char* answer, std::size_t size,
           const char* letters) override;
  void alert(const Alert& alert) override;
  void progress(const Progress& progress) override;
  void caption(std::string_view text) override;
  void filestate(const FileState& state) override;
  void fileresult(const FileResult& result) override;
  void summary(const RunSummary& summary) override;

  std::deque<std::string> answers;  // consumed in order; empty answers when exhausted
  std::vector<std::string> questions;
  std::vector<std::string> alerts;
  std::vector<std::string> causes;  // one per alert, empty when it had none
  std::vector<int> progressSeen;    // the percent of each report
  std::string lastCaption;
  std::vector<std::string> states;   // "name state" for each file looked at
  std::vector<std::string> results;  // "name outcome-number detail"
  std::vector<RunSummary> summaries; // project names are not kept
};

// A run context over a fake front end, for calling the engine directly; its
// output goes to the output file of the working directory.
struct FakeContext {
  FakeFrontend fake;
  RunContext rc{fake};
};

// Creates a fresh temporary directory, makes it the working directory and
// removes it again at the end of the test.
struct ScratchDir {
  ScratchDir();
  ~ScratchDir();
  std::filesystem::path path;

 private:
  std::filesystem::path previous_;
};

std::string readfile(const std::filesystem::path& path);
void writefile(const std::filesystem::path& path, std::string_view content);

}  // namespace trosk::testing
