// Uploading changed files makes a new subversion on a directory host: files
// stored under new names, the host log replaced whole, a frozen copy per
// subversion, the version log; and what a later download makes of it.
#include <gtest/gtest.h>

#include "core/fileprobe.h"
#include "core/runerror.h"
#include "repo/sha256.h"
#include "sync/pathsafety.h"
#include "sync/synchost.h"

namespace trosk::testing {
namespace {

const std::string kBinary("\x01\x02\x00\xff\x10 binary\x00", 13);

struct Upload : SyncTest {
  void SetUp() override {
    SyncTest::SetUp();
    hostversion(1, 1,
                {{.name = "a.txt", .content = "alpha\n"},
                 {.name = "b.txt", .content = "bravo\n"},
                 {.name = "img.bin", .content = kBinary, .vtp = true}});
    EXPECT_EQ(run(CMD_DOWNLOAD | CMD_INIT), 1);
    entry.status = kStatusSource;
    settings.commentText = "from the tests";
    front.questions.clear();
  }
  int upload() { return run(CMD_UPLOAD | CMD_DOWNLOAD); }
};

TEST_F(Upload, ChangedFileMakesSubversionTwo) {
  std::string frozen1 = readfile(versiondir(1) / "trosk_proj_1.xml");
  writefile(work / "a.txt", "alpha, edited\n");
  front.answers = {"y"};
  EXPECT_EQ(upload(), 1);
  ASSERT_EQ(front.questions.size(), 1u);
  EXPECT_EQ(front.questions[0], "Update remote file <a.txt> (y/n/AllYes/diff)? ");
  EXPECT_EQ(readfile(versiondir(1) / "a.txt_v1"), "alpha\n");  // the host keeps every copy
  EXPECT_EQ(readfile(versiondir(1) / "a.txt_v2"), "alpha, edited\n");
  std::string log = readfile(versiondir(1) / "trosk_proj.xml");
  EXPECT_NE(log.find("<subversion>2</subversion>"), std::string::npos);
  EXPECT_NE(log.find("<source>a.txt_v2</source>"), std::string::npos);
  EXPECT_NE(log.find("<source>b.txt_v1</source>"), std::string::npos);
  EXPECT_EQ(readfile(versiondir(1) / "trosk_proj_2.xml"), log);
  EXPECT_EQ(readfile(versiondir(1) / "trosk_proj_1.xml"), frozen1);
  std::string versions = readfile(hostroot / "trosk/proj/versionlog.txt");
  EXPECT_NE(versions.find("    1/2     Upload new subversion -- from the tests\n"),
            std::string::npos);
  EXPECT_NE(readfile(work / "trosk_proj.xml").find("<subversion>2</subversion>"),
            std::string::npos);
  EXPECT_FALSE(fs::exists(work / kStageFile));
  std::string out = output();
  EXPECT_NE(out.find("Verifying proj V=1/2 "), std::string::npos);
  EXPECT_NE(out.find("   " + (versiondir(1) / "trosk_proj.xml").string() + " ...\n"),
            std::string::npos);
  EXPECT_NE(out.find("   " + (versiondir(1) / "trosk_proj_2.xml").string() + " ...\n"),
            std::string::npos);
  EXPECT_NE(readfile(work / "trosk_proj_log.txt").find("Update upload:\n  a.txt\n"),
            std::string::npos);
}

TEST_F(Upload, BinaryFileIsStoredAsArmour) {
  writefile(work / "img.bin", std::string("\x03\x00\x07 new", 7));
  front.answers = {"y"};
  EXPECT_EQ(upload(), 1);
  std::string stored = readfile(versiondir(1) / "img.bin.vtp_v2");
  EXPECT_TRUE(isvtp(stored));
  std::string decoded;
  ASSERT_EQ(vtpdecodestring(stored, &decoded), 0);
  EXPECT_EQ(decoded, std::string("\x03\x00\x07 new", 7));
  // The host entry's digest is of the bytes as they are here, not of the armour.
  std::string digest = "<sha256>" + sha256hex(sha256of(decoded)) + "</sha256>";
  EXPECT_NE(readfile(versiondir(1) / "trosk_proj.xml").find(digest), std::string::npos);
}

TEST_F(Upload, NothingChangedStoresNothing) {
  std::string log = readfile(versiondir(1) / "trosk_proj.xml");
  EXPECT_EQ(upload(), 1);
  EXPECT_TRUE(front.questions.empty());
  EXPECT_EQ(readfile(versiondir(1) / "trosk_proj.xml"), log);
  EXPECT_FALSE(fs::exists(versiondir(1) / "trosk_proj_2.xml"));
  EXPECT_FALSE(fs::exists(hostroot / "trosk/proj/versionlog.txt"));
}

TEST_F(Upload, RefusedFileStoresNothingAndKeepsTheLocalSubversion) {
  writefile(work / "a.txt", "alpha, edited\n");
  front.answers = {"n"};
  EXPECT_EQ(upload(), 1);
  EXPECT_FALSE(fs::exists(versiondir(1) / "a.txt_v2"));
  EXPECT_FALSE(fs::exists(versiondir(1) / "trosk_proj_2.xml"));
  EXPECT_EQ(readfile(work / "trosk_proj.xml").find("<subversion>2</subversion>"),
            std::string::npos);
}

TEST_F(Upload, DiffComparesWithTheHostCopy) {
  writefile(work / "a.txt", "alpha, edited\n");
  front.answers = {"d", "y"};
  EXPECT_EQ(upload(), 1);
  std::string out = output();
  EXPECT_NE(out.find("--- a.txt (host)\n+++ a.txt (local)\n"), std::string::npos);
  EXPECT_NE(out.find("-alpha\n+alpha, edited\n"), std::string::npos);
  EXPECT_TRUE(fs::exists(versiondir(1) / "a.txt_v2"));
  EXPECT_FALSE(fs::exists(work / kDiffTemp));
}

TEST_F(Upload, HostLogThatCannotBeWrittenEndsTheRun) {
  fs::create_directories(versiondir(1) / "trosk_proj_2.xml");  // a directory in the way
  writefile(work / "a.txt", "alpha, edited\n");
  front.answers = {"y"};
  EXPECT_THROW(upload(), RunError);
  EXPECT_EQ(lastalert(), "TROSK error -- Error writing file: " +
                             (versiondir(1) / "trosk_proj_2.xml").string());
  EXPECT_FALSE(fs::exists(work / kStageFile));
  EXPECT_EQ(readfile(work / "trosk_proj.xml").find("<subversion>2</subversion>"),
            std::string::npos);
}

TEST_F(Upload, LaterDownloadsBringTheNewSubversion) {
  fs::path older = scratch.path / "older";
  fs::copy(work, older, fs::copy_options::recursive);
  writefile(work / "a.txt", "alpha, edited\n");
  front.answers = {"y"};
  EXPECT_EQ(upload(), 1);

  // A fresh working directory gets the new content.
  fs::path fresh = scratch.path / "fresh";
  fs::create_directories(fresh);
  fs::current_path(fresh);
  closeoutput(rc);
  entry.status = 0;
  EXPECT_EQ(run(CMD_DOWNLOAD | CMD_INIT), 1);
  EXPECT_EQ(readfile(fresh / "a.txt"), "alpha, edited\n");
  EXPECT_NE(readfile(fresh / "trosk_proj.xml").find("<subversion>2</subversion>"),
            std::string::npos);

  // One that has 1/1 is verified against 1/1 first, then brought to 1/2.
  fs::current_path(older);
  closeoutput(rc);
  rc.promptLevel = 0;
  EXPECT_EQ(run(CMD_DOWNLOAD), 1);
  EXPECT_EQ(readfile(older / "a.txt"), "alpha, edited\n");
  std::string out = readfile(older / kOutputFileName);
  EXPECT_NE(out.find("Verifying proj V=1/1 "), std::string::npos);
  EXPECT_NE(out.find("Verifying proj V=1/2 "), std::string::npos);
  EXPECT_NE(readfile(older / "trosk_proj.xml").find("<subversion>2</subversion>"),
            std::string::npos);
}

}  // namespace
}  // namespace trosk::testing
