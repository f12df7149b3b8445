#include "core/fileprobe.h"
#include "repo/filestats.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <ctime>
#include <random>
#include <string>

#include "core/timer.h"
#include "testing/testing.h"

namespace trosk {
namespace {

using testing::FakeContext;
using testing::ScratchDir;
using testing::writefile;

// The measurement as defined byte by byte, to hold the fast pass against.
struct Plain {
  int16_t parity = 0;
  int16_t crc = 0;
  int32_t checksum = 0;
  bool binary = false;
};

Plain plainsums(const std::string& data) {
  Plain p;
  uint32_t sum = 0;
  uint8_t parity = 0, crc = 0;
  for (unsigned char b : data) {
    sum += b;
    parity ^= b;
    uint8_t r = crc ^ b;
    crc = static_cast<uint8_t>(((r & 0x7F) << 1) | ((r & 0x80) ? 1 : 0));
    if (b < 7) p.binary = true;
  }
  p.parity = parity;
  p.crc = crc;
  p.checksum = static_cast<int32_t>(sum);
  return p;
}

FileStats measure(RunContext& rc, const std::string& content, int* kind = nullptr) {
  writefile("f.dat", content);
  FileStats st;
  int k = filestats(rc, "f.dat", nullptr, &st, 0);
  if (kind) *kind = k;
  return st;
}

TEST(FileStatsSums, SmallFilesFollowTheDefinition) {
  ScratchDir dir;
  FakeContext ctx;
  int kind;
  FileStats st = measure(ctx.rc, "", &kind);
  EXPECT_EQ(kind, kFileEmpty);
  EXPECT_EQ(st.checksum, 0);
  EXPECT_EQ(st.parity, 0);
  EXPECT_EQ(st.crc, 0);
  EXPECT_EQ(filecheck(ctx.rc, "f.dat", &st, 0), kFileExistsEmpty);

  st = measure(ctx.rc, std::string("\x01\x02\x03", 3), &kind);
  EXPECT_EQ(kind, kFileBinary);
  EXPECT_EQ(st.checksum, 6);
  EXPECT_EQ(st.parity, 0);
  EXPECT_EQ(st.size, 3);

  st = measure(ctx.rc, "hello\n", &kind);
  EXPECT_EQ(kind, kFileText);
  Plain p = plainsums("hello\n");
  EXPECT_EQ(st.crc, p.crc);
  EXPECT_EQ(st.checksum, p.checksum);
}

TEST(FileStatsSums, FastPassEqualsByteByByteOnRandomData) {
  ScratchDir dir;
  FakeContext ctx;
  std::mt19937 rng(12345);
  // Sizes around the word and block boundaries, and a few larger ones.
  std::vector<std::size_t> sizes = {1,    7,    8,    9,      15,     16,     17,     63,     64,
                                    1023, 1024, 1025, 131071, 131072, 131073, 300001, 1 << 20};
  for (std::size_t size : sizes) {
    for (int textlike = 0; textlike < 2; ++textlike) {
      std::string data(size, '\0');
      for (auto& c : data) {
        c = static_cast<char>(textlike ? 32 + rng() % 95 : rng() % 256);
      }
      int kind;
      FileStats st = measure(ctx.rc, data, &kind);
      Plain p = plainsums(data);
      SCOPED_TRACE(size);
      EXPECT_EQ(st.checksum, p.checksum);
      EXPECT_EQ(st.parity, p.parity);
      EXPECT_EQ(st.crc, p.crc);
      EXPECT_EQ(st.size, static_cast<int32_t>(size));
      EXPECT_EQ(kind, p.binary ? kFileBinary : kFileText);
    }
  }
}

TEST(FileStatsSums, BinaryByteAnywhereIsFound) {
  ScratchDir dir;
  FakeContext ctx;
  for (std::size_t at : {0u, 5u, 8u, 1000u, 131072u, 131079u}) {
    for (char low : {'\0', '\x06'}) {
      std::string data(140000, 'a');
      data[at] = low;
      int kind;
      measure(ctx.rc, data, &kind);
      EXPECT_EQ(kind, kFileBinary) << at;
    }
  }
  int kind;
  measure(ctx.rc, std::string(100, '\x07'), &kind);
  EXPECT_EQ(kind, kFileText);  // 7 and above is text
}

TEST(FileStatsSums, StreamIsReadFromItsPosition) {
  ScratchDir dir;
  FakeContext ctx;
  writefile("s.txt", "abcdef");
  FILE* f = std::fopen("s.txt", "rb");
  ASSERT_NE(f, nullptr);
  std::fseek(f, 2, SEEK_SET);
  FileStats st;
  EXPECT_EQ(filestats(ctx.rc, nullptr, f, &st, 0), kFileText);
  EXPECT_EQ(st.size, 4);
  EXPECT_EQ(st.checksum, 'c' + 'd' + 'e' + 'f');
  std::fclose(f);
}

TEST(FileStatsSums, SizeOnlyReadsNoContent) {
  ScratchDir dir;
  FakeContext ctx;
  writefile("s.txt", "VERSIONTAG=3 abc");
  FileStats st;
  EXPECT_EQ(filestats(ctx.rc, "s.txt", nullptr, &st, kStatsSizeOnly), kFileText);
  EXPECT_EQ(st.size, 16);
  EXPECT_EQ(st.checksum, 0);
  EXPECT_EQ(st.version, 0.0f);
}

TEST(FileStatsSums, UnreadableFileGivesParityMinusOne) {
  ScratchDir dir;
  FakeContext ctx;
  FileStats st;
  EXPECT_EQ(filestats(ctx.rc, "absent", nullptr, &st, 0), kFileEmpty);
  EXPECT_EQ(st.parity, -1);
  EXPECT_EQ(st.size, 0);
  EXPECT_EQ(filecheck(ctx.rc, "absent", &st, 0), kFileEmpty);
  EXPECT_EQ(st.date, 0);
}

float versionof(const std::string& text) {
  FakeContext ctx;
  return measure(ctx.rc, text).version;
}

TEST(FileStatsVersionTag, NumberAfterTheTag) {
  ScratchDir dir;
  EXPECT_FLOAT_EQ(versionof("x VERSIONTAG= 1.25;"), 1.25f);
  EXPECT_FLOAT_EQ(versionof("VERSIONTAG=7"), 7.0f);  // ends with the file
  EXPECT_FLOAT_EQ(versionof("VERSIONTAG=\n\t  2.5 x"), 2.5f);
  EXPECT_FLOAT_EQ(versionof("no tag at all"), 0.0f);
  EXPECT_FLOAT_EQ(versionof("VERSIONTAG=x1"), 0.0f);
  EXPECT_FLOAT_EQ(versionof("versiontag=3"), 0.0f);  // case matters
  // Only the first tag counts, even when it holds no number.
  EXPECT_FLOAT_EQ(versionof("VERSIONTAG=4 VERSIONTAG=5"), 4.0f);
  EXPECT_FLOAT_EQ(versionof("VERSIONTAG=; VERSIONTAG=5"), 0.0f);
}

TEST(FileStatsVersionTag, BreakingByteIsNotRetriedAsFirstLetter) {
  ScratchDir dir;
  // The second V breaks the match begun by the first and is not tried again.
  EXPECT_FLOAT_EQ(versionof("VVERSIONTAG=3"), 0.0f);
  EXPECT_FLOAT_EQ(versionof("VERSIONVERSIONTAG=3"), 0.0f);
  // After any other breaking byte the next V starts afresh.
  EXPECT_FLOAT_EQ(versionof("VEXVERSIONTAG=3"), 3.0f);
  EXPECT_FLOAT_EQ(versionof("V VERSIONTAG=3"), 3.0f);
}

TEST(FileStatsVersionTag, TagAcrossReadBlocks) {
  ScratchDir dir;
  for (std::size_t cut = 0; cut < 12; ++cut) {
    std::string data(131072 - cut, 'x');
    data += "VERSIONTAG= 12.5;";
    EXPECT_FLOAT_EQ(versionof(data), 12.5f) << cut;
  }
}

TEST(FileStatsVersionTag, LongVersionTextIsCut) {
  ScratchDir dir;
  EXPECT_FLOAT_EQ(versionof("VERSIONTAG=1." + std::string(200, '0') + "9"), 1.0f);
}

TEST(FileCheck, ModificationStampIsLocalTime) {
  ScratchDir dir;
  FakeContext ctx;
  writefile("t.txt", "x");
  std::tm when{};
  when.tm_year = 2021 - 1900;
  when.tm_mon = 2;
  when.tm_mday = 4;
  when.tm_hour = 5;
  when.tm_min = 6;
  when.tm_sec = 7;
  when.tm_isdst = -1;
  utimbuf times{std::mktime(&when), std::mktime(&when)};
  ASSERT_EQ(utime("t.txt", &times), 0);
  FileStats st;
  EXPECT_EQ(filecheck(ctx.rc, "t.txt", &st, 0), kFileText);
  EXPECT_EQ(st.date, 20210304);
  EXPECT_EQ(st.time, 50607);
  EXPECT_EQ(filecheck(ctx.rc, "t.txt", &st, kStatsSizeOnly), kFileText);
  EXPECT_EQ(st.date, 20210304);
  EXPECT_EQ(st.checksum, 0);
}

TEST(FileCheck, TimerSlotsRecordTheirNames) {
  ScratchDir dir;
  FakeContext ctx;
  writefile("t.txt", "x");
  FileStats st;
  filecheck(ctx.rc, "t.txt", &st, 0);
  cmpchecks(ctx.rc, st, st, 0);
  timerlog(ctx.rc, -1, 0, nullptr);
  std::string out = testing::readfile("trosk_tmp.txt");
  EXPECT_NE(out.find("filecheck"), std::string::npos);
  EXPECT_NE(out.find("filestats"), std::string::npos);
  EXPECT_NE(out.find("cmpchecks"), std::string::npos);
}

FileStats stats(int size, int checksum, int parity, int crc, int date, int time, float version) {
  FileStats s;
  s.size = size;
  s.checksum = checksum;
  s.parity = static_cast<int16_t>(parity);
  s.crc = static_cast<int16_t>(crc);
  s.date = date;
  s.time = time;
  s.version = version;
  return s;
}

TEST(CmpChecks, EqualStatsSetEverySameBit) {
  FakeContext ctx;
  FileStats a = stats(10, 100, 5, 9, 20240101, 120000, 1.5f);
  EXPECT_EQ(cmpchecks(ctx.rc, a, a, 0),
            kSameSize | kSameChecksum | kSameCrc | kSameDate | kSameTime | kSameVersion);
}

TEST(CmpChecks, DifferencesCountOnlyWhenRecorded) {
  FakeContext ctx;
  FileStats actual = stats(10, 100, 5, 9, 20240101, 120000, 1.5f);
  FileStats none;  // nothing recorded
  int bits = cmpchecks(ctx.rc, none, actual, 0);
  EXPECT_EQ(bits & (kContentDiffers | kStampDiffers | kDiffVersion), 0);
  EXPECT_EQ(bits & (kNewer | kOlder), 0);
  FileStats other = stats(11, 101, 4, 8, 20240102, 120001, 2.0f);
  bits = cmpchecks(ctx.rc, other, actual, 0);
  EXPECT_EQ(bits,
            kDiffSize | kDiffChecksum | kDiffCrc | kDiffDate | kDiffTime | kDiffVersion | kOlder);
}

TEST(CmpChecks, ParityDecidesWhenACrcIsMissing) {
  FakeContext ctx;
  FileStats l = stats(1, 1, 5, 0, 0, 0, 0);
  FileStats r = stats(1, 1, 5, 9, 0, 0, 0);
  EXPECT_TRUE(cmpchecks(ctx.rc, l, r, 0) & kSameCrc);
  r.parity = 6;
  EXPECT_TRUE(cmpchecks(ctx.rc, l, r, 0) & kDiffCrc);
  l.parity = 0;
  EXPECT_EQ(cmpchecks(ctx.rc, l, r, 0) & (kSameCrc | kDiffCrc), 0);
  l.crc = 3;  // both crcs known: parity no longer matters
  r.crc = 3;
  EXPECT_TRUE(cmpchecks(ctx.rc, l, r, 0) & kSameCrc);
}

TEST(CmpChecks, StampOnlyModeSkipsSums) {
  FakeContext ctx;
  FileStats l = stats(1, 1, 1, 1, 0, 0, 0);
  FileStats r = stats(1, 2, 2, 2, 0, 0, 0);
  EXPECT_EQ(cmpchecks(ctx.rc, l, r, kCompareStampOnly) &
                (kSameChecksum | kDiffChecksum | kSameCrc | kDiffCrc),
            0);
}

TEST(CmpChecks, NewerAndOlderNeedFullStamps) {
  FakeContext ctx;
  FileStats l = stats(1, 0, 0, 0, 20240101, 100000, 0);
  FileStats r = l;
  r.time = 100001;
  EXPECT_TRUE(cmpchecks(ctx.rc, l, r, 0) & kNewer);
  r.time = 95959;
  EXPECT_TRUE(cmpchecks(ctx.rc, l, r, 0) & kOlder);
  r.date = 20231231;
  r.time = 235959;
  EXPECT_TRUE(cmpchecks(ctx.rc, l, r, 0) & kOlder);  // the date decides before the time
  r.time = 0;
  EXPECT_EQ(cmpchecks(ctx.rc, l, r, 0) & (kNewer | kOlder), 0);
}

TEST(DateText, BothOrders) {
  FakeContext ctx;
  DateText a = datetext(ctx.rc, 20240305, 70809);
  DateText b = datetext(ctx.rc, 19991231, 235959);
  EXPECT_STREQ(a.c_str(), " 3/05/24  7:08:09");
  EXPECT_STREQ(b.c_str(), "12/31/99 23:59:59");
  ctx.rc.dateOrder = 1;
  EXPECT_STREQ(datetext(ctx.rc, 20240305, 70809).c_str(), " 5/03/24  7:08:09");
}

TEST(DateText, NowTextHasTheDocumentedShape) {
  FakeContext ctx;
  std::string now = nowtext(ctx.rc).c_str();
  ASSERT_EQ(now.size(), 17u);
  EXPECT_EQ(now[2], '/');
  EXPECT_EQ(now[5], '/');
  EXPECT_EQ(now[11], ':');
  EXPECT_NE(now[9], ' ');  // the hour is padded with a zero
}

TEST(PathHelpers, SeparatorsAndBaseName) {
  EXPECT_TRUE(isseparator('/'));
  EXPECT_TRUE(isseparator('\\'));
  EXPECT_TRUE(isseparator(':'));
  EXPECT_FALSE(isseparator('.'));
  EXPECT_EQ(dirlength("a/b\\c:d.txt"), 6u);
  EXPECT_EQ(dirlength("plain"), 0u);
  EXPECT_STREQ(trosk::basename("dir/sub\\f.c"), "f.c");
  EXPECT_STREQ(trosk::basename("C:f.c"), "f.c");
  EXPECT_STREQ(trosk::basename("dir/"), "");
}

TEST(FileSystemTests, ExistsAndFileSize) {
  ScratchDir dir;
  FakeContext ctx;
  writefile("a.txt", "12345");
  EXPECT_EQ(exists(ctx.rc, "a.txt"), 1);
  EXPECT_EQ(exists(ctx.rc, "."), -1);
  EXPECT_EQ(exists(ctx.rc, "nothing"), 0);
  EXPECT_EQ(filesize(ctx.rc, "a.txt", nullptr), 5);
  EXPECT_EQ(filesize(ctx.rc, "nothing", nullptr), -1);
  FILE* f = std::fopen("a.txt", "rb");
  std::fseek(f, 2, SEEK_SET);
  EXPECT_EQ(filesize(ctx.rc, nullptr, f), 5);
  EXPECT_EQ(std::ftell(f), 2);
  std::fclose(f);
}

}  // namespace
}  // namespace trosk
