// Cancel in the middle of a download, from a directory host and from a web
// host, between files and inside one large file: the run stops at once and
// ends as cancelled, every file is old or new, no temporary file is left,
// the local log holds what arrived, and the next download brings the rest.
// Cancel at the comment question of an add or an upload: nothing is stored.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "app/driver.h"
#include "core/runerror.h"
#include "net/nginx.h"
#include "sync/run.h"
#include "testing/testing.h"
#include "twocopies.h"

namespace trosk {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using testing::readfile;
using testing::writefile;

using testing::quoted;

// A front end that answers yes to everything and asks its run to stop once
// the transfer is half done (by files, or by bytes for a single file).
struct Canceller final : Frontend {
  RunContext* rc = nullptr;
  bool bybytes = false;
  Clock::time_point asked{};
  std::vector<std::string> alerts;

  void ask(std::string_view, char* answer, std::size_t size, const char*) override {
    std::snprintf(answer, size, "A");
  }
  void alert(const Alert& a) override { alerts.emplace_back(a.text); }
  void caption(std::string_view) override {}
  void progress(const Progress& p) override {
    if (asked != Clock::time_point{} || p.filesTotal == 0) return;
    bool half = bybytes ? p.bytesTotal > 0 && p.bytesDone * 2 >= p.bytesTotal
                        : p.filesDone * 2 >= p.filesTotal;
    if (!half) return;
    asked = Clock::now();
    rc->cancel();
  }
};

// A front end that answers yes, and cancels its run at the comment question
// as a window's Cancel button in that dialog does.
struct CommentCanceller final : Frontend {
  RunContext* rc = nullptr;
  int asked = 0;

  void ask(std::string_view question, char* answer, std::size_t size, const char*) override {
    bool comment = question == "Add comment: ";
    if (comment) {
      ++asked;
      rc->cancel();
    }
    std::snprintf(answer, size, "%s", comment ? "" : "y");
  }
  void alert(const Alert&) override {}
  void caption(std::string_view) override {}
  void progress(const Progress&) override {}
};

// Every file below `dir` with its content.
std::map<std::string, std::string> snapshot(const fs::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    files[fs::relative(e.path(), dir).string()] = e.is_regular_file() ? readfile(e.path()) : "/";
  }
  return files;
}

struct Stopped {
  int code = 0;
  double seconds = 0;  // from the request to stop to the end of the run
  std::string output;
};

Stopped download(const fs::path& dir, const std::string& host, bool bybytes) {
  fs::path previous = fs::current_path();
  fs::create_directories(dir);
  fs::current_path(dir);
  Canceller ui;
  ui.bybytes = bybytes;
  Stopped s;
  {
    Run run(ui);
    ui.rc = &run.context;
    std::vector<std::string> words{"trosk", "P", "-host", host, "-access", "0", "-download", "-maxfiles", "5000"};
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    try {
      s.code = runcommandline(run, static_cast<int>(argv.size()), argv.data());
    } catch (const RunError& e) {
      s.code = e.code();
    }
  }
  s.seconds = std::chrono::duration<double>(Clock::now() - ui.asked).count();
  if (ui.asked == Clock::time_point{}) s.seconds = -1;
  s.output = readfile("trosk_tmp.txt");
  fs::current_path(previous);
  return s;
}

int count(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// Counts the project's files in the working directory, each of which must be
// complete; no temporary file may be left anywhere.
int checkfiles(const fs::path& dir, const fs::path& src, const std::vector<std::string>& names) {
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    std::string name = e.path().filename().string();
    EXPECT_EQ(name.find(".trosk-"), std::string::npos) << "temporary file left: " << name;
  }
  int present = 0;
  for (const std::string& name : names) {
    if (!fs::exists(dir / name)) continue;
    EXPECT_TRUE(readfile(dir / name) == readfile(src / name)) << name << " is incomplete";
    ++present;
  }
  return present;
}

// The real program's download after the cancelled one: it must not ask to
// create the log again, and must bring every file.
std::string finish(const fs::path& dir, const std::string& host) {
  // Yes to the question a large file asks even at -prompt 0.
  std::string command = "cd " + quoted(dir.string()) + " && yes | " + quoted(TROSK_BINARY) +
                        " P -host " + quoted(host) +
                        " -access 0 -download -maxfiles 5000 -prompt 0 2>&1";
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  char buf[4096];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
  EXPECT_EQ(pclose(p), 0) << out;
  return out;
}

class CancelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(host / "trosk");
    fs::create_directories(src);
  }

  void addall(const std::string& names) {
    std::string command = "cd " + quoted(src.string()) + " && " + quoted(TROSK_BINARY) +
                          " P -source -host " + quoted(host.string()) + " -comment start -add " +
                          names + " </dev/null >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
  }

  void manyfiles() {
    std::string all;
    for (int i = 0; i < 3000; ++i) {
      std::string n = "many/f" + std::to_string(i) + ".txt";
      writefile(src / n, "file " + std::to_string(i) + "\n" + std::string(i % 700, 'x'));
      names.push_back(n);
      all += " " + n;
    }
    addall(all);
  }

  // Stops a download from `from` at half way and checks all that a cancel promises.
  void halfway(const std::string& from, const fs::path& dir, bool bybytes, int files) {
    Stopped s = download(dir, from, bybytes);
    EXPECT_EQ(s.code, kCancelledCode) << s.output;
    ASSERT_GE(s.seconds, 0) << "the run was never half done";
    EXPECT_LT(s.seconds, 0.5);
    EXPECT_EQ(count(s.output, "Transfer cancelled"), 1) << s.output;
    if (files > 1) EXPECT_EQ(s.output.find("Transfer cancelled: 0 files"), std::string::npos);
    EXPECT_LT(checkfiles(dir, src, names), files);
    std::string rest = finish(dir, from);
    EXPECT_EQ(rest.find("Create new?"), std::string::npos) << rest;
    EXPECT_EQ(checkfiles(dir, src, names), files);
  }

  testing::ScratchDir scratch;
  fs::path host = scratch.path / "host";
  fs::path src = scratch.path / "src";
  std::vector<std::string> names;  // the project's files
};

TEST_F(CancelTest, AtTheCommentAnAddOrAnUploadStoresNothing) {
  writefile(src / "a.txt", "first\n");
  addall("a.txt");
  writefile(src / "a.txt", "changed\n");
  writefile(src / "b.txt", "new\n");
  auto host_before = snapshot(host);
  std::string locallog = readfile(src / "trosk_P.xml");
  fs::path previous = fs::current_path();
  fs::current_path(src);
  for (std::vector<std::string> words : {
           std::vector<std::string>{"-add", "a.txt", "b.txt", "-version", "2"},  // a new version
           std::vector<std::string>{"-upload"}}) {
    words.insert(words.begin(), {"trosk", "P", "-source", "-host", host.string()});
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    CommentCanceller ui;
    trosk::Run run(ui);
    ui.rc = &run.context;
    int code = 0;
    try {
      runcommandline(run, static_cast<int>(argv.size()), argv.data());
    } catch (const RunError& e) {
      code = e.code();
    }
    EXPECT_EQ(code, kCancelledCode) << words[5];
    EXPECT_EQ(ui.asked, 1) << words[5];
    EXPECT_EQ(snapshot(host), host_before) << words[5];
    EXPECT_EQ(readfile(src / "trosk_P.xml"), locallog) << words[5];
  }
  fs::current_path(previous);
}

TEST_F(CancelTest, HalfWayThroughManyFilesFromADirectoryAndAWebHost) {
  manyfiles();
  halfway(host.string(), scratch.path / "fromdir", false, 3000);
  testing::Nginx web(scratch.path, host);
  ASSERT_EQ(web.error, "");
  halfway(web.host(), scratch.path / "fromweb", false, 3000);
}

TEST_F(CancelTest, InsideOneLargeFileFromADirectoryAndAWebHost) {
  std::string block(1 << 20, 'b');
  {
    FILE* f = std::fopen((src / "big.txt").c_str(), "wb");
    for (int i = 0; i < 200; ++i) {
      block[0] = static_cast<char>('a' + i % 26);
      block.back() = '\n';
      std::fwrite(block.data(), 1, block.size(), f);
    }
    std::fclose(f);
  }
  names.push_back("big.txt");
  addall("big.txt");
  halfway(host.string(), scratch.path / "fromdir", true, 1);
  testing::Nginx web(scratch.path, host);
  ASSERT_EQ(web.error, "");
  halfway(web.host(), scratch.path / "fromweb", true, 1);
}

}  // namespace
}  // namespace trosk
