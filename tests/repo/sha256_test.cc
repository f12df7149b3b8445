#include "repo/sha256.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "repo/sourcefile.h"
#include "testing/testing.h"

namespace trosk {
namespace {

using testing::ScratchDir;
using testing::writefile;

// What sha256sum prints for `path`.
std::string sha256sum(const std::string& path) {
  std::string command = "sha256sum '" + path + "'";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  char digits[65] = {};
  if (!pipe || std::fread(digits, 1, 64, pipe.get()) != 64) return "no sha256sum";
  return digits;
}

TEST(Sha256, KnownVectorAndMalformedValues) {
  EXPECT_EQ(sha256hex(sha256of("abc")),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  Sha256Digest abc = sha256of("abc");
  Sha256Digest read = parsesha256("BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD");
  EXPECT_EQ(read.state, Sha256Digest::kKnown);
  EXPECT_FALSE(digestdiffers(read, abc));
  EXPECT_TRUE(digestdiffers(sha256of("abd"), abc));
  std::string good = sha256hex(abc);
  for (const std::string& bad : {std::string(), good.substr(1), good + "0",
                                  "g" + good.substr(1), good.substr(0, 63) + " "}) {
    Sha256Digest d = parsesha256(bad);
    EXPECT_EQ(d.state, Sha256Digest::kMalformed) << bad;
    EXPECT_TRUE(digestdiffers(d, abc)) << bad;
  }
  EXPECT_FALSE(digestdiffers(Sha256Digest{}, abc));  // none recorded
  EXPECT_TRUE(digestdiffers(abc, Sha256Digest{}));   // recorded, not computed
}

// Many blocks of the reader and of the measurement, kept in memory or not,
// hash as sha256sum hashes the file.
TEST(Sha256, FilesHashAsSha256sumDoes) {
  ScratchDir dir;
  testing::FakeContext ctx;
  std::string large;
  for (std::size_t i = 0; large.size() < kKeptBytes + 3333; ++i) large += std::to_string(i * i);
  writefile("large", large);
  writefile("small", large.substr(0, 70000));
  SourceFile file;
  for (const char* name : {"large", "small"}) {
    std::string expected = sha256sum(name);
    Sha256Digest digest;
    ASSERT_EQ(sha256file(name, &digest), 0);
    EXPECT_EQ(sha256hex(digest), expected) << name;
    readsource(ctx.rc, name, file, kStatsSha256);
    EXPECT_EQ(sha256hex(file.stats.sha256), expected) << name;
    readsource(ctx.rc, name, file, 0);
    EXPECT_EQ(file.stats.sha256.state, Sha256Digest::kNone) << name;  // asked for only
  }
  Sha256Digest missing;
  EXPECT_EQ(sha256file("missing", &missing), -1);
}

}  // namespace
}  // namespace trosk
