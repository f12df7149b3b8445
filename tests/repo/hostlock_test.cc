#include "repo/hostlock.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <string>

#include "core/runerror.h"
#include "testing/testing.h"

namespace trosk {
namespace {

namespace fs = std::filesystem;
using testing::readfile;
using testing::writefile;

std::string hostname() {
  char name[256] = {};
  gethostname(name, sizeof name - 1);
  return name;
}

std::string holder(const std::string& host, long pid, long long since) {
  return "host=" + host + " pid=" + std::to_string(pid) + " time=" + std::to_string(since) + "\n";
}

struct HostLockTest : ::testing::Test {
  testing::ScratchDir dir;
  testing::FakeContext ctx;
  testing::FakeFrontend& ui = ctx.fake;
  HostLockTest() { ctx.rc.lockWaitMs = 300; }  // a held lock is given up on quickly
};

TEST_F(HostLockTest, HeldWhileInScopeAndNamingItsHolder) {
  {
    HostLock lock(ctx.rc, ".");
    std::string text = readfile(kLockName);
    EXPECT_EQ(text.rfind("host=" + hostname() + " pid=" + std::to_string(getpid()) + " ", 0), 0u)
        << text;
  }
  EXPECT_FALSE(fs::exists(kLockName));
}

TEST_F(HostLockTest, ALiveHolderMakesTheSecondWriterGiveUpNamingIt) {
  long long now = static_cast<long long>(std::time(nullptr));
  writefile(kLockName, holder(hostname(), 1, now));  // process 1 is always running
  try {
    HostLock lock(ctx.rc, ".");
    FAIL() << "took a lock that is held";
  } catch (const RunError&) {
    ASSERT_FALSE(ui.alerts.empty());
    EXPECT_NE(ui.alerts.back().find("being changed on the host by " + hostname() + " (process 1)"),
              std::string::npos)
        << ui.alerts.back();
  }
  EXPECT_EQ(readfile(kLockName), holder(hostname(), 1, now));  // never broken
}

TEST_F(HostLockTest, ALockWhoseHolderIsGoneOrTooOldIsTakenOver) {
  pid_t gone = fork();
  if (gone == 0) _exit(0);
  waitpid(gone, nullptr, 0);
  long long now = static_cast<long long>(std::time(nullptr));
  for (std::string stale : {holder(hostname(), gone, now),
                            holder("elsewhere", 12345, now - kStaleLockSeconds - 10)}) {
    writefile(kLockName, stale);
    {
      HostLock lock(ctx.rc, ".");
      EXPECT_NE(readfile(kLockName), stale);
    }
    ASSERT_FALSE(ui.alerts.empty());
    EXPECT_NE(ui.alerts.back().find("Took over the host lock"), std::string::npos);
    ui.alerts.clear();
    EXPECT_FALSE(fs::exists(kLockName));
  }
}

TEST_F(HostLockTest, ALockTakenOverMeanwhileIsNotReleased) {
  std::string other = holder("elsewhere", 4242, static_cast<long long>(std::time(nullptr)));
  {
    HostLock lock(ctx.rc, ".");
    writefile(kLockName, other);
  }
  EXPECT_EQ(readfile(kLockName), other);
}

}  // namespace
}  // namespace trosk
