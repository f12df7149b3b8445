#include "core/strutil.h"

#include <gtest/gtest.h>

#include <string>

namespace trosk {
namespace {

TEST(CopystrTest, BoundsTheCopyAndAlwaysTerminates) {
  std::string source(100, 'x');
  char dest[300];
  EXPECT_EQ(copystr(source.c_str(), dest, 63), 63);
  EXPECT_EQ(std::string(dest), std::string(63, 'x'));
  std::string longer(400, 'y');
  EXPECT_EQ(copystr(longer.c_str(), dest, 0), 255);
  EXPECT_EQ(std::string(dest).size(), 255u);
  EXPECT_EQ(copystr("ab", dest, -3), 2);
  EXPECT_STREQ(dest, "ab");
}

TEST(FindkeyTest, ExactWinsPrefixMustBeUniqueOrderDecidesTies) {
  const char* const table[] = {"version", "verbose", "log", "localhost", nullptr};
  EXPECT_EQ(findkey("ver", table), -1);
  EXPECT_EQ(findkey("verb", table), 1);
  EXPECT_EQ(findkey("log", table), 2);
  EXPECT_EQ(findkey("lo", table), -1);
  EXPECT_EQ(findkey("", table), -1);
  EXPECT_EQ(findkey("versions", table), -1);
  EXPECT_EQ(findkey("Version", table), -1);  // case matters
}

TEST(FindkeyTest, SecondPrefixFailsEvenBeforeALaterExactMatch) {
  const char* const table[] = {"abc", "abd", "ab", nullptr};
  EXPECT_EQ(findkey("ab", table), -1);
  const char* const skipping[] = {"abc", kSkipKeyword, "ab", nullptr};
  EXPECT_EQ(findkey("ab", skipping), 2);
  EXPECT_EQ(findkey("a", skipping), -1);
}

TEST(FindletterTest, StopsAtNewline) {
  EXPECT_EQ(findletter('A', "ynYNAX"), 4);
  EXPECT_EQ(findletter('d', "ynYNAX"), -1);
  EXPECT_EQ(findletter('z', "ab\nz"), -1);
}

TEST(IsnumberTest, ToleratesOneTrailingCharacter) {
  EXPECT_EQ(isnumber("12"), 1);
  EXPECT_EQ(isnumber("1.5"), 2);
  EXPECT_EQ(isnumber(".5"), 2);
  EXPECT_EQ(isnumber("12x"), 1);
  EXPECT_EQ(isnumber("12xy"), 0);
  EXPECT_EQ(isnumber("x12"), 0);
  EXPECT_EQ(isnumber(""), 0);
  EXPECT_EQ(isnumber("-1"), 0);
}

TEST(ParseversTest, VersionAndOptionalSubversion) {
  int sub = 99;
  EXPECT_EQ(parsevers("3/5", &sub), 3);
  EXPECT_EQ(sub, 5);
  EXPECT_EQ(parsevers("4_6", &sub), 4);
  EXPECT_EQ(sub, 6);
  EXPECT_EQ(parsevers("7", &sub), 7);
  EXPECT_EQ(sub, 6);
  EXPECT_EQ(parsevers("12/", &sub), 12);
  EXPECT_EQ(sub, 0);
  EXPECT_EQ(parsevers("a3", &sub), -1);
}

TEST(IslocalpathTest, DirectPathsAndDriveLetters) {
  EXPECT_EQ(islocalpath("D:data"), 1);
  EXPECT_EQ(islocalpath("./dir"), 1);
  EXPECT_EQ(islocalpath("/srv"), 1);
  EXPECT_EQ(islocalpath("\\\\server"), 1);
  EXPECT_EQ(islocalpath("web/dir"), 0);
  EXPECT_EQ(islocalpath(""), 0);
}

TEST(LowerstrTest, OnlyAsciiLetters) {
  char text[] = "AbC-\xC4z";
  lowerstr(text);
  EXPECT_STREQ(text, "abc-\xC4z");
}

}  // namespace
}  // namespace trosk
