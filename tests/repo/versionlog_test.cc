#include "repo/versionlog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

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

}  // namespace
}  // namespace trosk
