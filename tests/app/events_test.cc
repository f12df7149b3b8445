// The events a run reports beside its text: the files a status lists, as
// the listing prints them, the outcome of each file a download or an upload
// moves, in the order of the listing, and what a versions display shows.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "testing/testing.h"
#include "twocopies.h"

namespace trosk {
namespace {

namespace fs = std::filesystem;
using testing::readfile;
using testing::runhere;
using testing::writefile;

// Records the listing the file states amount to, and the outcomes.
struct Recorder final : Frontend {
  std::deque<std::string> answers;
  std::vector<std::string> listing;
  std::vector<std::string> outcomes;  // "name outcome"
  std::vector<RunSummary> summaries;
  std::vector<std::string> projects;
  std::vector<ReleaseVersions> releasesSeen;
  std::vector<std::string> versionlines;  // as the version log writes them

  void ask(std::string_view, char* answer, std::size_t size, const char*) override {
    std::string next = answers.empty() ? "" : answers.front();
    if (!answers.empty()) answers.pop_front();
    std::snprintf(answer, size, "%s", next.c_str());
  }
  void alert(const Alert&) override {}
  void progress(const Progress&) override {}
  void caption(std::string_view) override {}
  void filestate(const FileState& s) override {
    if (!s.differs) return;
    std::string name(s.name), state(s.state), host(s.hostDate), local(s.localDate);
    char line[512];
    if (s.localExists) {
      std::snprintf(line, sizeof line, "%10s: %-20s %7lld %s > %7lld %s", state.c_str(),
                    name.c_str(), s.hostSize, host.c_str(), s.localSize, local.c_str());
    } else {
      std::snprintf(line, sizeof line, "%10s: %-20s %7lld %s", state.c_str(), name.c_str(),
                    s.hostSize, host.c_str());
    }
    listing.emplace_back(line);
  }
  void fileresult(const FileResult& r) override {
    outcomes.push_back(std::string(r.name) + " " + std::to_string(static_cast<int>(r.outcome)));
  }
  void summary(const RunSummary& s) override { summaries.push_back(s); }
  void projectstart(std::string_view name) override { projects.emplace_back(name); }
  void releases(const ReleaseVersions& r) override { releasesSeen.push_back(r); }
  void versionentry(const VersionEntry& e) override {
    char numbers[32];
    std::snprintf(numbers, sizeof numbers, " %5d/%-4d  ", e.version, e.subversion);
    std::string line = std::string(e.date) + numbers + std::string(e.activity);
    if (!e.comment.empty()) line += " -- " + std::string(e.comment);
    versionlines.push_back(line);
  }
};

// The lines of a status listing in the output: those after its heading.
std::vector<std::string> listed(const std::string& output) {
  std::vector<std::string> lines;
  std::istringstream in(output);
  bool inside = false;
  for (std::string line; std::getline(in, line);) {
    if (line.find("Remote: Size&Date") != std::string::npos) {
      inside = true;
    } else if (inside && line.size() > 11 && line[10] == ':') {
      lines.push_back(line);
    } else {
      inside = false;
    }
  }
  return lines;
}

std::string nameof(const std::string& line) {
  std::istringstream in(line.substr(11));
  std::string name;
  in >> name;
  return name;
}

int counted(const RunSummary& s, FileOutcome o) { return s.counts[static_cast<int>(o)]; }

class EventsTest : public testing::TwoCopies {
 protected:
  // What a status in `dir` lists, checked against its own events.
  std::vector<std::string> status(const fs::path& dir) {
    Recorder ui;
    std::string output = runhere(dir, ui, {"P", "-status"});
    std::vector<std::string> lines = listed(output);
    EXPECT_EQ(ui.listing, lines) << output;
    EXPECT_EQ(ui.summaries.size(), 1u);
    if (!ui.summaries.empty()) EXPECT_EQ(ui.summaries[0].compared, 5);
    EXPECT_TRUE(ui.outcomes.empty());
    return lines;
  }
};

TEST_F(EventsTest, StatusListsWhatItsEventsSay) {
  writefile(dst / "f2.txt", "changed here\n");
  fs::remove(dst / "f4.txt");
  EXPECT_EQ(status(dst).size(), 2u);
}

TEST_F(EventsTest, DownloadReportsEachListedFileInTurn) {
  writefile(src / "f1.txt", "new on the host\n");
  writefile(src / "f3.txt", "new on the host too\n");
  shell(src, "P -upload -prompt 0 -comment u");
  writefile(dst / "f5.txt", "changed here\n");
  // Later than the host's copy by far, whatever the clock's second: replacing
  // it asks to confirm the older copy too.
  fs::last_write_time(dst / "f5.txt", fs::file_time_type::clock::now() + std::chrono::hours(1));
  std::vector<std::string> lines = status(dst);
  ASSERT_EQ(lines.size(), 3u);

  Recorder ui;
  ui.answers = {"y", "n", "y", "y"};
  runhere(dst, ui, {"P", "-download"});
  ASSERT_EQ(ui.outcomes.size(), 3u);
  // The local copies are backed up first (the list's default).
  EXPECT_EQ(ui.outcomes[0], nameof(lines[0]) + " 3");  // backed up, then downloaded
  EXPECT_EQ(ui.outcomes[1], nameof(lines[1]) + " 2");  // kept: answered no
  EXPECT_EQ(ui.outcomes[2], nameof(lines[2]) + " 3");
  ASSERT_EQ(ui.summaries.size(), 1u);
  const RunSummary& last = ui.summaries.back();
  EXPECT_EQ(counted(last, FileOutcome::kBackedUp), 2);
  EXPECT_EQ(counted(last, FileOutcome::kKept), 1);
  EXPECT_EQ(last.bytes, static_cast<long long>(fs::file_size(dst / nameof(lines[0])) +
                                               fs::file_size(dst / nameof(lines[2]))));
  EXPECT_FALSE(last.cancelled);
}

TEST_F(EventsTest, UploadReportsEachFileItStores) {
  writefile(src / "f2.txt", "changed for the upload\n");
  writefile(src / "f4.txt", "changed as well\n");
  std::vector<std::string> lines = status(src);
  ASSERT_EQ(lines.size(), 2u);

  Recorder ui;
  runhere(src, ui, {"P", "-upload", "-prompt", "0", "-comment", "u"});
  std::vector<std::string> expected;
  for (const std::string& line : lines) expected.push_back(nameof(line) + " 1");  // uploaded
  EXPECT_EQ(ui.outcomes, expected);
  ASSERT_EQ(ui.summaries.size(), 1u);
  EXPECT_EQ(counted(ui.summaries[0], FileOutcome::kUploaded), 2);
}

TEST_F(EventsTest, ShowReportsTheVersionsAndTheLinesOfTheVersionLog) {
  fs::path logpath = host / "trosk" / "P" / "versionlog.txt";
  std::string log = readfile(logpath);
  writefile(logpath, log + "a line of another shape\n");
  Recorder ui;
  std::string output = runhere(dst, ui, {"P", "-show"});
  EXPECT_EQ(ui.projects, std::vector<std::string>{"P"});
  ASSERT_EQ(ui.releasesSeen.size(), 1u);
  const ReleaseVersions& r = ui.releasesSeen[0];
  char header[128];
  std::snprintf(header, sizeof header, "Stable= %d  Beta= %d  Alpha= %d, Have= %d/%d ", r.stable,
                r.beta, r.alpha, r.haveVersion, r.haveSubversion);
  EXPECT_NE(output.find(header), std::string::npos) << header << "\n" << output;
  EXPECT_EQ(r.haveVersion, 1);
  EXPECT_EQ(ui.versionlines, std::vector<std::string>{log.substr(0, log.find('\n'))});
}

}  // namespace
}  // namespace trosk
