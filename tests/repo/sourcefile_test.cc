#include "repo/sourcefile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "testing/testing.h"

namespace trosk {
namespace {

using testing::ScratchDir;
using testing::writefile;

// A file read once measures as filecheck measures it, whatever it is.
TEST(SourceFile, MeasuresAsFilecheckAndKeepsSmallFiles) {
  ScratchDir dir;
  testing::FakeContext ctx;
  writefile("empty", "");
  writefile("text", "text with VERSIONTAG= 3.5 in it\n");
  writefile("binary", std::string("\x00\x01\x02", 3));
  writefile("large", std::string(kKeptBytes + 1, 'L'));
  std::filesystem::create_directory("dir");
  ::chmod("binary", 0700);
  SourceFile file;
  for (const char* name : {"empty", "text", "binary", "large", "dir", "missing"}) {
    FileStats expected;
    int kind = filecheck(ctx.rc, name, &expected, 0);
    EXPECT_EQ(readsource(ctx.rc, name, file, 0), kind) << name;
    const FileStats& got = file.stats;
    EXPECT_TRUE(got.size == expected.size && got.checksum == expected.checksum &&
                got.parity == expected.parity && got.crc == expected.crc &&
                got.date == expected.date && got.time == expected.time &&
                got.version == expected.version)
        << name;
    bool kept = std::string(name) != "large" && std::string(name) != "dir" &&
                std::string(name) != "missing";
    EXPECT_EQ(file.whole, kept) << name;
    EXPECT_EQ(file.bytes, kept ? testing::readfile(name) : "") << name;
    EXPECT_EQ(file.executable, std::string(name) == "binary") << name;
  }
}

TEST(SourceFile, OnlyRegularFilesAreOpened) {
  ScratchDir dir;
  testing::FakeContext ctx;
  writefile("text", "abc");
  writefile("large", std::string(kKeptBytes + 7, 'L'));
  std::filesystem::create_directory("dir");
  ASSERT_EQ(::mkfifo("pipe", 0600), 0);  // opening it would wait for a writer
  SourceFile file;
  for (const char* name : {"dir", "pipe", "missing"}) {
    EXPECT_EQ(readregular(ctx.rc, name, file, 0), -1) << name;
    EXPECT_EQ(file.stats.size, 0) << name;
    EXPECT_EQ(file.stats.date, 0) << name;
  }
  FileStats expected;
  for (const char* name : {"text", "large"}) {
    EXPECT_EQ(readregular(ctx.rc, name, file, 0), filecheck(ctx.rc, name, &expected, 0)) << name;
    EXPECT_EQ(file.stats.checksum, expected.checksum) << name;
    EXPECT_EQ(file.stats.size, expected.size) << name;
    EXPECT_EQ(file.stats.time, expected.time) << name;
  }
}

}  // namespace
}  // namespace trosk
