#include "core/atomicfile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "testing/testing.h"

namespace trosk {
namespace {

using testing::FakeContext;
using testing::ScratchDir;
using testing::readfile;
using testing::writefile;

std::size_t filesin(const std::filesystem::path& dir) {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir)) ++n;
  return n;
}

TEST(AtomicFileTest, ReplacesOnlyOnCommit) {
  ScratchDir dir;
  FakeContext c;
  writefile("log.xml", "old");
  {
    AtomicFile f(c.rc, "log.xml");
    ASSERT_NE(f.stream(), nullptr);
    std::fputs("new", f.stream());
    EXPECT_EQ(readfile("log.xml"), "old");  // readers see the old file meanwhile
    EXPECT_EQ(f.commit(true), 0);
  }
  EXPECT_EQ(readfile("log.xml"), "new");
  {
    AtomicFile abandoned(c.rc, "log.xml");
    std::fputs("half", abandoned.stream());
  }
  EXPECT_EQ(readfile("log.xml"), "new");
  EXPECT_EQ(filesin(dir.path), 1u);  // no temporary file left behind
}

TEST(AtomicFileTest, MissingDirectoryFails) {
  ScratchDir dir;
  FakeContext c;
  AtomicFile f(c.rc, "no/such/dir/log.xml");
  EXPECT_EQ(f.stream(), nullptr);
  EXPECT_EQ(f.commit(), -2);
}

TEST(AtomicFileTest, CommitNewNeverReplacesAnExistingName) {
  ScratchDir dir;
  FakeContext c;
  writefile("a_v1", "first");
  AtomicFile f(c.rc, "a");
  std::fputs("second", f.stream());
  EXPECT_EQ(f.commitnew("a_v1"), 1);
  EXPECT_EQ(readfile("a_v1"), "first");
  EXPECT_EQ(f.commitnew("a_v2"), 0);
  EXPECT_EQ(readfile("a_v2"), "second");
  EXPECT_EQ(filesin(dir.path), 2u);
}

}  // namespace
}  // namespace trosk
