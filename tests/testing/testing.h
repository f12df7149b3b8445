// Shared test support: a scripted front end that records questions and
// alerts, and a scratch directory that each test works in.
#pragma once

#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "core/frontend.h"

namespace trosk::testing {

struct FakeFrontend final : Frontend {
  FakeFrontend();
  ~FakeFrontend() override;

  void ask(std::string_view question, char* answer, std::size_t size, bool buttons) override;
  void alert(std::string_view text) override;
  int progress(int percent) override;
  void caption(std::string_view text) override;

  std::deque<std::string> answers;  // consumed in order; empty answers when exhausted
  std::vector<std::string> questions;
  std::vector<std::string> alerts;
  std::vector<int> progressSeen;
  std::string lastCaption;

 private:
  Frontend* previous_;
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
