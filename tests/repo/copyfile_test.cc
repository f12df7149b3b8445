#include "core/fileprobe.h"
#include "repo/copyfile.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <set>
#include <string>

#include "core/vtp.h"
#include "testing/testing.h"

namespace trosk {
namespace {

namespace fs = std::filesystem;
using testing::readfile;
using testing::FakeContext;
using testing::ScratchDir;
using testing::writefile;

std::set<std::string> listdir(const char* dir) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
  return names;
}

TEST(CopyFilePlain, ReplacesTheDestinationWhole) {
  ScratchDir dir;
  FakeContext ctx;
  writefile("src.txt", "new content");
  writefile("dst.txt", "old content that was longer");
  std::string stored;
  EXPECT_EQ(copyfile(ctx.rc, "src.txt", "dst.txt", 0, nullptr, &stored), 11);
  EXPECT_EQ(readfile("dst.txt"), "new content");
  EXPECT_EQ(stored, "dst.txt");
  EXPECT_EQ(listdir("."), (std::set<std::string>{"src.txt", "dst.txt"}));  // no temp left
}

TEST(CopyFilePlain, LargeFileIsCopiedExactly) {
  ScratchDir dir;
  FakeContext ctx;
  std::string data;
  for (int i = 0; i < 700000; ++i) data += static_cast<char>(i * 31 + i / 7);
  writefile("big.bin", data);
  EXPECT_EQ(copyfile(ctx.rc, "big.bin", "copy.bin", 0, nullptr, nullptr), 700000);
  EXPECT_EQ(readfile("copy.bin"), data);
}

TEST(CopyFilePlain, MakesMissingDirectories) {
  ScratchDir dir;
  FakeContext ctx;
  writefile("a.txt", "x");
  EXPECT_EQ(copyfile(ctx.rc, "a.txt", "d1/d2/a.txt", 0, nullptr, nullptr), 1);
  EXPECT_EQ(readfile("d1/d2/a.txt"), "x");
}

TEST(CopyFileErrors, SourceAndDestinationFailuresDiffer) {
  ScratchDir dir;
  FakeContext ctx;
  EXPECT_EQ(copyfile(ctx.rc, "absent", "x", 0, nullptr, nullptr), -1);
  writefile("a.txt", "x");
  writefile("blocker", "a file where a directory should be");
  EXPECT_EQ(copyfile(ctx.rc, "a.txt", "blocker/a.txt", 0, nullptr, nullptr), -2);
  EXPECT_EQ(copyfile(ctx.rc, "a.txt", "blocker/a.txt", kCopyUnique, "", nullptr), -2);
  fs::create_directory("isdir");
  EXPECT_EQ(copyfile(ctx.rc, "a.txt", "isdir", 0, nullptr, nullptr), -2);
  EXPECT_EQ(listdir("isdir").size(), 0u);
}

// A write that fails half-way (here: a file size limit) leaves neither the
// claimed name nor a temporary file behind.
TEST(CopyFileErrors, FailedWriteLeavesNothingBehind) {
  ScratchDir dir;
  FakeContext ctx;
  writefile("big.bin", std::string(200000, 'x'));
  fs::create_directory("v");
  pid_t pid = fork();
  if (pid == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{50000, 50000};
    setrlimit(RLIMIT_FSIZE, &limit);
    long long unique = copyfile(ctx.rc, "big.bin", "v/big.bin", kCopyUnique, "", nullptr);
    long long plain = copyfile(ctx.rc, "big.bin", "v/plain.bin", 0, nullptr, nullptr);
    _exit(unique == -2 && plain == -2 ? 0 : 1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_TRUE(listdir("v").empty());
}

TEST(CopyFileUnique, FirstFreeNumberWithSuffix) {
  ScratchDir dir;
  FakeContext ctx;
  writefile("a.txt", "one");
  std::string stored;
  EXPECT_EQ(copyfile(ctx.rc, "a.txt", "v/a.txt", kCopyUnique, ".x", &stored), 3);
  EXPECT_EQ(stored, "v/a.txt_v1.x");
  writefile("a.txt", "two");
  EXPECT_EQ(copyfile(ctx.rc, "a.txt", "v/a.txt", kCopyUnique, ".x", &stored), 3);
  EXPECT_EQ(stored, "v/a.txt_v2.x");
  EXPECT_EQ(readfile("v/a.txt_v1.x"), "one");
  EXPECT_EQ(readfile("v/a.txt_v2.x"), "two");
  fs::remove("v/a.txt_v1.x");  // a gap is filled again
  EXPECT_EQ(copyfile(ctx.rc, "a.txt", "v/a.txt", kCopyUnique, nullptr, &stored), 3);
  EXPECT_EQ(stored, "v/a.txt_v1");
}

TEST(CopyFileUnique, StoredCopiesAreFlushedByOneSyncOfTheStore) {
  ScratchDir dir;
  FakeContext ctx;
  writefile("a.txt", "alpha");
  std::string stored;
  ASSERT_EQ(copyfile(ctx.rc, "a.txt", "store/a.txt", kCopyUnique, nullptr, &stored), 5);
  EXPECT_EQ(readfile(stored), "alpha");
  EXPECT_EQ(syncstore(ctx.rc, "store"), 0);
  EXPECT_EQ(syncstore(ctx.rc, "no-such-directory"), -2);
}

TEST(CopyFileUnique, ConcurrentWritersNeverShareAName) {
  ScratchDir dir;
  FakeContext ctx;
  constexpr int kWriters = 6;
  constexpr int kEach = 20;
  for (int w = 0; w < kWriters; ++w) writefile("src" + std::to_string(w), std::to_string(w));
  std::vector<pid_t> kids;
  for (int w = 0; w < kWriters; ++w) {
    pid_t pid = fork();
    if (pid == 0) {
      std::string src = "src" + std::to_string(w);
      for (int i = 0; i < kEach; ++i) {
        if (copyfile(ctx.rc, src.c_str(), "v/f", kCopyUnique, "", nullptr) < 0) _exit(1);
      }
      _exit(0);
    }
    kids.push_back(pid);
  }
  for (pid_t pid : kids) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  std::set<std::string> names = listdir("v");
  EXPECT_EQ(names.size(), static_cast<std::size_t>(kWriters * kEach));
  for (int n = 1; n <= kWriters * kEach; ++n) {
    std::string name = "v/f_v" + std::to_string(n);
    ASSERT_TRUE(names.count(name.substr(2))) << name;
    EXPECT_EQ(readfile(name).size(), 1u);
  }
}

TEST(CopyFileUnique, AWriterTriesEachNumberOnceAndStoresBytesAsFiles) {
  ScratchDir dir;
  FakeContext ctx;
  writefile("h/f_v1", "there before");
  std::string data("\x01\x02 binary\n", 10);
  writefile("src", data);
  ::chmod("src", 0755);
  StoredNames names;
  std::string a, b, c;
  ASSERT_GT(copyfile(ctx.rc, "src", "h/f", kCopyUnique | kCopyVtp, "", &a, &names), 0);
  ASSERT_GT(storebytes(ctx.rc, data, "h/f", kCopyUnique | kCopyVtp, true, "", &b, &names), 0);
  ASSERT_EQ(storebytes(ctx.rc, "plain", "h/f", kCopyUnique, false, "", &c, &names), 5);
  EXPECT_EQ(a, "h/f_v2");
  EXPECT_EQ(b, "h/f_v3");
  EXPECT_EQ(c, "h/f_v4");
  EXPECT_EQ(names.next.at("h/f\n"), 5);
  EXPECT_EQ(readfile(a), readfile(b));  // the same armour from the file and from memory
  EXPECT_EQ(readfile(c), "plain");
  struct stat sa, sb, sc;
  ASSERT_EQ(::stat(a.c_str(), &sa) | ::stat(b.c_str(), &sb) | ::stat(c.c_str(), &sc), 0);
  EXPECT_EQ(sa.st_mode, sb.st_mode);
  EXPECT_EQ(sc.st_mode & 0111, 0u);
  // A number another writer took meanwhile is passed over.
  writefile("h/f_v5", "someone else");
  ASSERT_GT(storebytes(ctx.rc, "x", "h/f", kCopyUnique, false, "", &c, &names), 0);
  EXPECT_EQ(c, "h/f_v6");
  EXPECT_EQ(storebytes(ctx.rc, "x", "nodir/\x01/f", kCopyUnique, false, "", &c, nullptr) > 0,
            fs::exists(c));
}

TEST(CopyFileVtp, EncodedCopyDecodesToTheSource) {
  ScratchDir dir;
  FakeContext ctx;
  std::string data;
  for (int i = 0; i < 5000; ++i) data += static_cast<char>(i % 251);
  writefile("b.bin", data);
  std::string stored;
  long long n = copyfile(ctx.rc, "b.bin", "h/b.bin.vtp", kCopyUnique | kCopyVtp, "", &stored);
  EXPECT_GT(n, 5000);
  EXPECT_EQ(stored, "h/b.bin.vtp_v1");
  std::string armour = readfile(stored);
  EXPECT_TRUE(isvtp(armour));
  std::string back;
  ASSERT_EQ(vtpdecodestring(armour, &back), 0);
  EXPECT_EQ(back, data);
}

// Binary files of many sizes, random content, through the file copy and a
// streaming decode in file-sized reads, as a download would do it.
TEST(CopyFileVtp, RealFilesOfManySizesComeBackExactly) {
  ScratchDir dir;
  FakeContext ctx;
  std::vector<std::size_t> sizes;
  for (std::size_t n = 0; n <= 130; ++n) sizes.push_back(n);
  for (std::size_t n : {4095u, 4096u, 65535u, 65536u, 116736u, 262145u}) sizes.push_back(n);
  sizes.push_back((std::size_t{1} << 20) + 3);
  unsigned state = 1;
  for (std::size_t n : sizes) {
    std::string data(n, '\0');
    for (auto& c : data) c = static_cast<char>((state = state * 1103515245u + 12345u) >> 16);
    writefile("in.bin", data);
    fs::remove("out.vtp");
    ASSERT_GE(copyfile(ctx.rc, "in.bin", "out.vtp", kCopyVtp, nullptr, nullptr), 0) << n;
    FILE* armour = std::fopen("out.vtp", "rb");
    ASSERT_NE(armour, nullptr);
    VtpDecoder d;
    std::string back;
    VtpSink sink = [&back](const char* p, std::size_t k) {
      back.append(p, k);
      return true;
    };
    char buf[8192];
    std::size_t got;
    int fed = 0;
    while ((got = std::fread(buf, 1, sizeof buf, armour)) > 0) fed |= d.feed(buf, got, sink);
    std::fclose(armour);
    ASSERT_EQ(fed, 0) << n;
    ASSERT_EQ(d.finish(), 0) << n;
    ASSERT_EQ(d.decodedsize(), static_cast<int64_t>(n));
    ASSERT_EQ(back, data) << n;
  }
}

TEST(Mkp, OpensWithParentsMade) {
  ScratchDir dir;
  FILE* f = mkp("p/q/r.txt", "wt", 0755);
  ASSERT_NE(f, nullptr);
  std::fputs("hi", f);
  std::fclose(f);
  EXPECT_EQ(readfile("p/q/r.txt"), "hi");
  struct stat st;
  ASSERT_EQ(stat("p/q", &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  writefile("file", "x");
  EXPECT_EQ(mkp("file/r.txt", "wt", 0755), nullptr);
  EXPECT_EQ(makeparents("/", 0755), 0);
}

}  // namespace
}  // namespace trosk
