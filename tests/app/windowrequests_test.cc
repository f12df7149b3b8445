// What a window asks of a status beyond its command line: the files the
// host's log does not name, the differences of one file, and for each file
// where it changed since the local log's record; the console's text stays
// as it was.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "net/nginx.h"
#include "testing/testing.h"
#include "twocopies.h"

namespace trosk {
namespace {

namespace fs = std::filesystem;
using testing::quoted;
using testing::readfile;
using testing::writefile;

struct State {
  std::string state, localDate, hostDate;
  bool localExists = false, differs = false, here = false, onhost = false;
  long long localSize = 0, hostSize = 0;
};

struct Recorder final : Frontend {
  std::map<std::string, State> states;
  std::vector<std::string> diffs;  // each "name: text"

  void ask(std::string_view, char* answer, std::size_t size, const char*) override {
    std::snprintf(answer, size, "n");
  }
  void alert(const Alert&) override {}
  void progress(const Progress&) override {}
  void caption(std::string_view) override {}
  void filestate(const FileState& s) override {
    states[std::string(s.name)] = State{std::string(s.state), std::string(s.localDate),
                                        std::string(s.hostDate), s.localExists, s.differs,
                                        s.changedHere, s.changedOnHost, s.localSize, s.hostSize};
  }
  void difference(const Difference& d) override {
    diffs.push_back(std::string(d.name) + ": " + std::string(d.text));
  }
};

class WindowRequests : public testing::TwoCopies {
 protected:
  WindowRequests() : TwoCopies("line one\nline two\n") {}

  // A status in `dst` in this process, with the window's requests. Returns
  // its output file.
  std::string status(Recorder& ui, bool reportnew, const std::string& diffonly = "",
                     const std::string& from = "") {
    std::vector<std::string> words{"P", "-status"};
    if (!from.empty()) words.insert(words.end(), {"-host", from, "-access", "0"});
    int code = -1;
    std::string output = testing::runhere(dst, ui, words, [&](trosk::Run& run) {
      run.reportnew = reportnew;
      run.diffonly = diffonly;
    }, &code);
    EXPECT_EQ(code, 0);
    return output;
  }
};

TEST_F(WindowRequests, StatesSayWhereEachFileChangedSinceTheLocalLog) {
  writefile(src / "f2.txt", "changed on the host\n");
  writefile(src / "f3.txt", "changed on the host\n");
  writefile(src / "f6.txt", "new on the host\n");
  shell(src, "P -upload -prompt 0 -comment u");
  shell(src, "P -comment a -add f6.txt");
  writefile(dst / "f1.txt", "changed here\n");
  writefile(dst / "f3.txt", "changed here too\n");
  fs::remove(dst / "f5.txt");

  Recorder ui;
  status(ui, false);
  auto where = [&ui](const char* name) {
    const State& s = ui.states[name];
    return std::string(s.here ? "here" : "") + (s.onhost ? "host" : "");
  };
  EXPECT_EQ(where("f1.txt"), "here");
  EXPECT_EQ(where("f2.txt"), "host");
  EXPECT_EQ(where("f3.txt"), "herehost");
  EXPECT_EQ(where("f4.txt"), "");
  EXPECT_EQ(where("f5.txt"), "here");  // gone here
  EXPECT_EQ(where("f6.txt"), "");      // the local log has no record of it
  EXPECT_EQ(ui.states.size(), 6u);
}

TEST_F(WindowRequests, NewFilesAreReportedWithoutChangingTheListing) {
  writefile(dst / "new.txt", "12345");
  writefile(dst / "sub/deep/n.c", "int x;\n");
  writefile(dst / "f1.txt", "changed here\n");
  writefile(dst / ".hidden", "h");
  writefile(dst / ".dir/x.txt", "h");
  writefile(dst / "Trosk_bkup/f1.txt", "a backup");
  writefile(dst / "sub/f.trosk-12-dl3", "a temporary file");
  fs::create_symlink("new.txt", dst / "link.txt");
  fs::create_directory_symlink(dst / "sub", dst / "linkdir");

  Recorder plain;
  std::string listing = status(plain, false);
  Recorder ui;
  EXPECT_EQ(status(ui, true), listing);
  std::vector<std::string> added;
  for (const auto& [name, s] : ui.states) {
    if (s.state == "New") added.push_back(name);
  }
  EXPECT_EQ(added, (std::vector<std::string>{"new.txt", "sub/deep/n.c"}));
  const State& n = ui.states["new.txt"];
  EXPECT_TRUE(n.localExists && n.differs);
  EXPECT_EQ(n.localSize, 5);
  EXPECT_EQ(n.hostSize, 0);
  EXPECT_EQ(n.localDate.size(), ui.states["f1.txt"].localDate.size());
  EXPECT_EQ(ui.states.size(), plain.states.size() + 2);
}

TEST_F(WindowRequests, DiffOnlyShowsOneFileAndChangesNothing) {
  writefile(dst / "f1.txt", "line one\nline 2\n");
  writefile(dst / "f2.txt", "changed, not asked for\n");
  fs::remove(dst / "f5.txt");
  std::string locallog = readfile(dst / "trosk_P.xml");
  bool activity = fs::exists(dst / "trosk_P_log.txt");

  Recorder ui;
  std::string out = status(ui, false, "f1.txt");
  ASSERT_EQ(ui.diffs.size(), 1u);
  EXPECT_NE(ui.diffs[0].find("f1.txt: --- f1.txt (local)\n+++ f1.txt (host)\n"), std::string::npos)
      << ui.diffs[0];
  EXPECT_NE(ui.diffs[0].find("-line 2\n+line two\n"), std::string::npos);
  EXPECT_NE(out.find("-line 2\n+line two\n"), std::string::npos);
  EXPECT_EQ(ui.states.size(), 1u);
  EXPECT_EQ(readfile(dst / "f1.txt"), "line one\nline 2\n");
  EXPECT_EQ(readfile(dst / "trosk_P.xml"), locallog);
  EXPECT_EQ(fs::exists(dst / "trosk_P_log.txt"), activity);
  EXPECT_FALSE(fs::exists(dst / "troskdiff.tmp"));

  for (auto [name, note] : std::map<std::string, std::string>{
           {"f4.txt", "No line differences in f4.txt\n"},
           {"f5.txt", "No local copy of f5.txt\n"},
           {"mine.txt", "Not on the host: mine.txt\n"}}) {
    Recorder one;
    EXPECT_NE(status(one, false, name).find(note), std::string::npos);
    EXPECT_EQ(one.diffs, std::vector<std::string>{name + ": " + note});
  }
}

TEST_F(WindowRequests, DiffOnlyDecodesAnArmouredCopyFromTheWeb) {
  writefile(src / "armoured.txt", "first\nsecond\n");
  shell(src, "P -comment e -encode -add armoured.txt");
  shell(dst, "P -host " + quoted(host.string()) + " -download -prompt 0");
  writefile(dst / "armoured.txt", "first\n2nd\n");
  testing::Nginx web(scratch.path, host);
  ASSERT_EQ(web.error, "");

  Recorder ui;
  status(ui, false, "armoured.txt", web.host());
  ASSERT_EQ(ui.diffs.size(), 1u);
  EXPECT_NE(ui.diffs[0].find("-2nd\n+second\n"), std::string::npos) << ui.diffs[0];
  EXPECT_FALSE(fs::exists(dst / "troskdiff.tmp"));
}

}  // namespace
}  // namespace trosk
