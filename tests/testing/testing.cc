#include "testing/testing.h"

#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "core/output.h"

namespace trosk::testing {

FakeFrontend::FakeFrontend() : previous_(setfrontend(this)) {}

FakeFrontend::~FakeFrontend() { setfrontend(previous_); }

void FakeFrontend::ask(std::string_view question, char* answer, std::size_t size, bool) {
  questions.emplace_back(question);
  std::string next;
  if (!answers.empty()) {
    next = answers.front();
    answers.pop_front();
  }
  std::size_t n = next.size() < size ? next.size() : size - 1;
  std::memcpy(answer, next.data(), n);
  answer[n] = '\0';
}

void FakeFrontend::alert(std::string_view text) { alerts.emplace_back(text); }

int FakeFrontend::progress(int percent) {
  progressSeen.push_back(percent);
  return 0;
}

void FakeFrontend::caption(std::string_view text) { lastCaption.assign(text); }

ScratchDir::ScratchDir() : previous_(std::filesystem::current_path()) {
  std::string pattern = (std::filesystem::temp_directory_path() / "trosk-test-XXXXXX").string();
  char* made = mkdtemp(pattern.data());
  path = made ? made : pattern;
  std::filesystem::current_path(path);
  closeoutput();  // the next message starts a fresh output file here
}

ScratchDir::~ScratchDir() {
  closeoutput();
  std::error_code ec;
  std::filesystem::current_path(previous_, ec);
  std::filesystem::remove_all(path, ec);
}

std::string readfile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void writefile(const std::filesystem::path& path, std::string_view content) {
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

}  // namespace trosk::testing
