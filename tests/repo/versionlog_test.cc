#include "repo/versionlog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "testing/testing.h"

namespace trosk {
namespace {

namespace fs = std::filesystem;

struct VersionLogTest : ::testing::Test {
  testing::ScratchDir dir;
  testing::FakeContext ctx;
  testing::FakeFrontend& ui = ctx.fake;
  void SetUp() override { fs::create_directories("host/trosk/proj"); }
  std::string log() { return testing::readfile("host/trosk/proj/versionlog.txt"); }
};

TEST_F(VersionLogTest, AsksForACommentWhenNoneWasGiven) {
  ui.answers = {"  first upload "};
  EXPECT_EQ(versionlog(ctx.rc, "host/trosk/proj", "Created new version", 3, 1, nullptr), 0);
  ASSERT_EQ(ui.questions.size(), 1u);
  EXPECT_EQ(ui.questions[0], "Add comment: ");
  std::string line = log();
  // "<date text> %5d/%-4d  <activity> -- <comment>"
  EXPECT_EQ(line.substr(17), "     3/1     Created new version -- first upload\n");
}

TEST_F(VersionLogTest, GivenCommentIsUsedAndLinesAreAppended) {
  EXPECT_EQ(versionlog(ctx.rc, "host/trosk/proj", "Added files", 12, 345, "from the command line"),
            0);
  EXPECT_EQ(versionlog(ctx.rc, "host/trosk/proj", "Added files", 12, 346, ""), 0);
  EXPECT_TRUE(ui.questions.empty());
  std::string text = log();
  EXPECT_NE(text.find("    12/345   Added files -- from the command line\n"), std::string::npos);
  EXPECT_NE(text.find("    12/346   Added files\n"), std::string::npos);
}

TEST_F(VersionLogTest, EmptyAnswerMeansNoComment) {
  ui.answers = {""};
  EXPECT_EQ(versionlog(ctx.rc, "host/trosk/proj", "Upload new subversion", 1, 2, nullptr), 0);
  EXPECT_EQ(log().substr(17), "     1/2     Upload new subversion\n");
}

TEST_F(VersionLogTest, UnwritableLogIsReported) {
  EXPECT_EQ(versionlog(ctx.rc, "nohost/trosk/proj", "Added files", 1, 1, "x"), -2);
}

TEST_F(VersionLogTest, WrittenLinesReadBack) {
  ASSERT_EQ(writeversionline(ctx.rc, "host/trosk/proj", "Created new version", 3, 1, ""), 0);
  ASSERT_EQ(writeversionline(ctx.rc, "host/trosk/proj", "Added files", 123456, 78901,
                             "a -- b\nc"),
            0);
  std::istringstream in(log());
  std::vector<VersionEntry> read;
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 2u);
  for (const std::string& line : lines) {
    VersionEntry e;
    ASSERT_TRUE(parseversionline(line, &e)) << line;
    EXPECT_EQ(e.date, line.substr(0, 17));
    read.push_back(e);
  }
  EXPECT_EQ(read[0].version, 3);
  EXPECT_EQ(read[0].subversion, 1);
  EXPECT_EQ(read[0].activity, "Created new version");
  EXPECT_EQ(read[0].comment, "");
  EXPECT_EQ(read[1].version, 123456);
  EXPECT_EQ(read[1].subversion, 78901);
  EXPECT_EQ(read[1].activity, "Added files");
  EXPECT_EQ(read[1].comment, "a -- b c");
}

TEST(ParseVersionLine, OtherShapesAreRefused) {
  const std::string date = " 1/02/26 03:04:05";
  VersionEntry e;
  std::string crlf = date + "     1/2     Added files\r\n";
  EXPECT_TRUE(parseversionline(crlf, &e));
  EXPECT_EQ(e.activity, "Added files");
  e.version = 7;
  for (const std::string& line : std::vector<std::string>{
           std::string(), date, date + " ", "x1/02/26 03:04:05     1/2     Added files",
        " 1/02/26 03:04:5      1/2     Added files", date + "     1/2", date + "     1/2     ",
        date + "     1/2 Added files", date + "     1-2     Added files",
        date + "    -1/2     Added files", date + "      /2     Added files",
        date + " 99999999999/2     Added files", date + "     1/99999999999  Added files",
        date + std::string(1 << 20, ' '), std::string(1 << 20, '9')}) {
    EXPECT_FALSE(parseversionline(line, &e)) << line.substr(0, 60);
  }
  EXPECT_EQ(e.version, 7);
  std::string longcomment = date + "     1/2     Added files -- " + std::string(1 << 20, 'c');
  ASSERT_TRUE(parseversionline(longcomment, &e));
  EXPECT_EQ(e.comment.size(), std::size_t{1} << 20);
}

}  // namespace
}  // namespace trosk
