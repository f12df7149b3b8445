// The checks that stand between names from the host and the file system,
// the backup naming, and the hints and differences shown to the user.
#include "core/fileprobe.h"
#include "sync/pathsafety.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "config/project.h"
#include "core/output.h"
#include "core/runcontext.h"
#include "core/strutil.h"
#include "sync/backup.h"
#include "sync/showdiff.h"
#include "testing/testing.h"

namespace trosk::testing {
namespace {

namespace fs = std::filesystem;

TEST(Printable, ControlBytesShowAsQuestionMarks) {
  EXPECT_EQ(printable(std::string("a\x01z\n")), "a?z?");
}

TEST(IsOwnFile, TheToolsFilesInTheWorkingDirectory) {
  for (const char* name :
       {"trosk_tmp.txt", "TROSK_TMP.TXT", "./trosk_p.xml", ".trosk_p.xml", "trosk_project.xml",
        ".trosk_project.xml", "trosk_p_log.txt", "troskversion.txt", "stagefile.xml",
        "troskdiff.tmp", "trosk_p_dump.xml", "Trosk_bkup", "trosk_bkup/x/y", "mylog.xml"}) {
    EXPECT_EQ(isownfile(name, "p", "mylog.xml"), 1) << name;
  }
  for (const char* name : {"sub/trosk_tmp.txt", "trosk_q.xml", "a.txt", "x/Trosk_bkup"}) {
    EXPECT_EQ(isownfile(name, "p", "mylog.xml"), 0) << name;
  }
}

struct InScratch : ::testing::Test {
  ScratchDir scratch;
  FakeFrontend front;
  RunContext rc{front};
};

using LinkFree = InScratch;

TEST_F(LinkFree, AnyLinkOnTheWayIsFound) {
  fs::create_directories("real/sub");
  fs::create_directory_symlink("real", "alias");
  fs::create_symlink("real/sub", "real/link");
  writefile("real/file", "x");
  EXPECT_EQ(linkfree("real/sub/new/file"), 1);
  EXPECT_EQ(linkfree("real/file"), 1);
  EXPECT_EQ(linkfree("missing/file"), 1);
  EXPECT_EQ(linkfree("alias/file"), 0);
  EXPECT_EQ(linkfree("real/link/file"), 0);
  EXPECT_EQ(linkfree("real/link"), 0);
}

using DumpName = InScratch;

TEST_F(DumpName, NeverAnotherProjectsLogOrAPath) {
  ProjectTable projects;
  EXPECT_EQ(dumpname(projects, "p", "trosk_p.xml"), "trosk_p_dump.xml");
  EXPECT_EQ(dumpname(projects, "../up", "x"), "trosk_.._up_dump.xml");
  EXPECT_EQ(dumpname(projects, "p", "trosk_p_dump.xml"), "trosk_p_dump.xml.dump");
  projects.emplace_back();
  copystr("p_dump", projects.back().name, kNameSize - 1);
  EXPECT_EQ(dumpname(projects, "p", "trosk_p.xml"), "trosk_p_dump.xml.dump");
}

using Backup = InScratch;

TEST_F(Backup, NamesAreClaimedInTurnAndNeverReused) {
  writefile("dir/f.txt", "one");
  std::string stored;
  EXPECT_EQ(backupfile(rc, "dir/f.txt", &stored), 0);
  EXPECT_EQ(stored, "Trosk_bkup/dir/f.txt");
  writefile("dir/f.txt", "two");
  EXPECT_EQ(backupfile(rc, "dir/f.txt", &stored), 0);
  EXPECT_EQ(stored, "Trosk_bkup/dir/f.txt.1");
  EXPECT_EQ(readfile("Trosk_bkup/dir/f.txt"), "one");
  EXPECT_EQ(readfile("Trosk_bkup/dir/f.txt.1"), "two");
  EXPECT_EQ(backupfile(rc, "dir/none.txt", &stored), -1);
  int entries = 0;
  for (const auto& e : fs::directory_iterator("Trosk_bkup/dir")) entries += e.is_regular_file();
  EXPECT_EQ(entries, 2);  // no temporary file is left behind
}

TEST_F(Backup, ALinkedBackupDirectoryIsRefused) {
  fs::create_directories("elsewhere");
  fs::create_directories("Trosk_bkup");
  fs::create_directory_symlink("../elsewhere", "Trosk_bkup/dir");
  writefile("dir/f.txt", "one");
  EXPECT_EQ(backupfile(rc, "dir/f.txt", nullptr), -2);
  EXPECT_TRUE(fs::is_empty("elsewhere"));
}

using Differences = InScratch;

TEST_F(Differences, TextIsShownAsAUnifiedDiff) {
  writefile("l", "same\nold\n");
  writefile("h", "same\nnew\n");
  EXPECT_EQ(printdiff(rc, "l", "h", "f", false), 1);
  std::string out = readfile(kOutputFileName);
  EXPECT_NE(out.find("--- f (local)\n+++ f (host)\n"), std::string::npos);
  EXPECT_NE(out.find(" same\n-old\n+new\n"), std::string::npos);
}

TEST_F(Differences, EqualBinaryAndMissingCopies) {
  writefile("l", "same\n");
  writefile("h", "same\n");
  writefile("b", std::string("\x00\x01", 2));
  EXPECT_EQ(printdiff(rc, "l", "h", "f", false), 0);
  EXPECT_EQ(printdiff(rc, "l", "b", "g", false), -1);
  EXPECT_EQ(printdiff(rc, "l", "none", "k", false), -1);
  std::string out = readfile(kOutputFileName);
  EXPECT_NE(out.find("No line differences in f\n"), std::string::npos);
  EXPECT_NE(out.find("Binary files g (local) and g (host) differ\n"), std::string::npos);
  EXPECT_NE(out.find("Cannot compare k: a copy is unreadable\n"), std::string::npos);
}

TEST_F(Differences, AnswersAfterTheDifferences) {
  writefile("l", "a\n");
  writefile("h", "b\n");
  front.answers = {"d", "A"};
  EXPECT_EQ(showdiff(rc, "l", "h", "f", false, "Update?"), 1);
  EXPECT_EQ(front.questions.size(), 2u);
  EXPECT_TRUE(rc.promptLevel & kPromptAllYes);
  rc.promptLevel = 1;
  front.answers = {""};
  EXPECT_EQ(showdiff(rc, "l", "h", "f", false, "Update?"), 0);
}

// Records the differences and the archives handed to the front end.
struct Watcher final : Frontend {
  bool unpacks = false;
  std::vector<std::string> differences;  // "name upload localpath hostpath: text"
  std::vector<std::string> arrived;
  void ask(std::string_view, char* answer, std::size_t, const char*) override { answer[0] = '\0'; }
  void alert(const Alert&) override {}
  void progress(const Progress&) override {}
  void caption(std::string_view) override {}
  void difference(const Difference& d) override {
    differences.push_back(std::string(d.name) + " " + (d.upload ? "1 " : "0 ") +
                          std::string(d.localpath) + " " + std::string(d.hostpath) + ": " +
                          std::string(d.text));
  }
  void archives(const std::vector<std::string>& names) override { arrived = names; }
  bool unpacksarchives() const override { return unpacks; }
};

struct Watched : ::testing::Test {
  ScratchDir scratch;
  Watcher front;
  RunContext rc{front};
};

TEST_F(Watched, DifferencesNameTheCopiesOnlyWhenBothAreText) {
  writefile("l", "old\n");
  writefile("h", "new\n");
  writefile("b", std::string("\x00\x01", 2));
  printdiff(rc, "l", "h", "f", true);
  printdiff(rc, "l", "b", "g", false);
  printdiff(rc, "l", "none", "k", false);
  ASSERT_EQ(front.differences.size(), 3u);
  std::string out = readfile(kOutputFileName);
  // The upload's diff, as printed, from the host copy to the local one.
  EXPECT_EQ(front.differences[0].substr(0, 9), "f 1 l h: ");
  std::string diff = front.differences[0].substr(9);
  EXPECT_EQ(diff.rfind("--- f (host)\n+++ f (local)\n", 0), 0u);
  EXPECT_EQ(out.substr(0, diff.size()), diff);
  EXPECT_EQ(front.differences[1], "g 0  : Binary files g (local) and g (host) differ\n");
  EXPECT_EQ(front.differences[2], "k 0  : Cannot compare k: a copy is unreadable\n");
}

TEST_F(Watched, ArchiveHintAdvisesCommandsUnlessTheFrontEndUnpacks) {
  std::vector<std::string> names = {"a.zip", "notes.bin"};
  EXPECT_EQ(extracthint(rc, names), 2);
  front.unpacks = true;
  EXPECT_EQ(extracthint(rc, names), 2);
  EXPECT_EQ(front.arrived, names);
  EXPECT_EQ(readfile(kOutputFileName),
            "\nArchives downloaded -- unpack them with:\n"
            "   unzip -o 'a.zip'\n"
            "   notes.bin  (unpack with its archiver)\n"
            "\nArchives that arrived (unpack them from the file list):\n"
            "   a.zip\n"
            "   notes.bin\n");
}

TEST(ExtractHint, CommandsByExtension) {
  EXPECT_EQ(unpackcommand("a.zip"), "unzip -o 'a.zip'");
  EXPECT_EQ(unpackcommand("A.ZIP"), "unzip -o 'A.ZIP'");
  EXPECT_EQ(unpackcommand("b.tar"), "tar xf 'b.tar'");
  EXPECT_EQ(unpackcommand("c.tar.gz"), "tar xzf 'c.tar.gz'");
  EXPECT_EQ(unpackcommand("d.tgz"), "tar xzf 'd.tgz'");
  EXPECT_EQ(unpackcommand("e.tar.xz"), "tar xJf 'e.tar.xz'");
  EXPECT_EQ(unpackcommand("it's.zip"), "unzip -o 'it'\\''s.zip'");
  EXPECT_EQ(unpackcommand("notes.txt"), "");
}

}  // namespace
}  // namespace trosk::testing
