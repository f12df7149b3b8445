// The walk for the files the host's log does not name: a host name matches
// however its separators are spelt, and a tree larger than the cap is cut.
#include "sync/newfiles.h"

#include <gtest/gtest.h>

#include <string>

#include "testing/testing.h"

namespace trosk::testing {
namespace {

TEST(NewFiles, HostNamesMatchAsWalkedAndTheCapHolds) {
  ScratchDir dir;
  FakeContext ctx;
  for (const char* name : {"a.txt", "sub/b.txt", "sub/c.txt", "d.txt", "e.txt"}) {
    writefile(name, "x");
  }
  std::unordered_set<std::string> known{walkname("./a.txt"), walkname("sub\\b.txt")};
  std::vector<std::string> names;
  for (const NewFile& f : newfiles(ctx.rc, known, "proj", "trosk_proj.xml")) {
    names.push_back(f.name);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"d.txt", "e.txt", "sub/c.txt"}));
  EXPECT_EQ(newfiles(ctx.rc, known, "proj", "trosk_proj.xml", 2).size(), 2u);
}

}  // namespace
}  // namespace trosk::testing
