#include "testing/testing.h"

#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>


namespace trosk::testing {

void FakeFrontend::ask(std::string_view question, char* answer, std::size_t size, const char*) {
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

void FakeFrontend::alert(const Alert& alert) {
  alerts.emplace_back(alert.text);
  causes.emplace_back(alert.cause);
}

void FakeFrontend::progress(const Progress& progress) { progressSeen.push_back(progress.percent); }

void FakeFrontend::caption(std::string_view text) { lastCaption.assign(text); }

void FakeFrontend::filestate(const FileState& state) {
  states.push_back(std::string(state.name) + " " + std::string(state.state));
}

void FakeFrontend::fileresult(const FileResult& result) {
  results.push_back(std::string(result.name) + " " +
                    std::to_string(static_cast<int>(result.outcome)) + " " +
                    std::string(result.detail));
}

void FakeFrontend::summary(const RunSummary& summary) {
  summaries.push_back(summary);
  summaries.back().project = {};
}

ScratchDir::ScratchDir() : previous_(std::filesystem::current_path()) {
  std::string pattern = (std::filesystem::temp_directory_path() / "trosk-test-XXXXXX").string();
  char* made = mkdtemp(pattern.data());
  path = made ? made : pattern;
  std::filesystem::current_path(path);
}

ScratchDir::~ScratchDir() {
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
