#include "core/relpath.h"

#include <gtest/gtest.h>

#include <string>

namespace trosk {
namespace {

TEST(CheckRelPath, PlainRelativeNamesPass) {
  for (const char* name :
       {"a.txt", "src/b.c", "./a.txt", "src\\win.c", "dir/..x/y", "...", "a..b"}) {
    EXPECT_EQ(checkrelpath(name), 0) << name;
  }
}

TEST(CheckRelPath, NamesLeadingOutAreRefused) {
  for (const char* name : {"", ".", "./", "/etc/passwd", "\\share\\x", "C:x", "c:\\x", "..", "../x",
                           "a/../../x", "a/..", "..\\x", "a\\..\\..\\x", "a/b\\..\\..\\..\\x"}) {
    EXPECT_LT(checkrelpath(name), 0) << name;
  }
  EXPECT_STREQ(unsafereason(checkrelpath("../x")), "parent directory step");
  EXPECT_STREQ(unsafereason(checkrelpath("/x")), "absolute path");
  EXPECT_STREQ(unsafereason(checkrelpath("D:x")), "drive letter");
}

TEST(CheckRelPath, ControlBytesAreRefused) {
  EXPECT_LT(checkrelpath(std::string("a\nb")), 0);
  EXPECT_LT(checkrelpath(std::string("a\x7f")), 0);
  EXPECT_LT(checkrelpath(std::string("a\x1b[2Jb")), 0);
}

}  // namespace
}  // namespace trosk
