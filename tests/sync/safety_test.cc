// Host logs that try to lead the engine out of its directories, hosts that
// serve other bytes than their logs describe, and the backups a download
// makes: nothing outside is touched, nothing good is lost.
#include <gtest/gtest.h>

#include "core/fileprobe.h"
#include "core/runerror.h"
#include "sync/pathsafety.h"
#include "sync/synchost.h"

namespace trosk::testing {
namespace {

struct Hostile : SyncTest {
  fs::path outside;
  void SetUp() override {
    SyncTest::SetUp();
    outside = scratch.path / "outside";
    fs::create_directories(outside);
    writefile(outside / "secret", "secret\n");
    rc.promptLevel = 0;
  }
  std::vector<std::string> outsidefiles() {
    std::vector<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(outside))
      names.push_back(e.path().string());
    return names;
  }
  int refusals() {
    int n = 0;
    for (const std::string& a : front.alerts) n += a.find("TROSK Warning -- ") == 0;
    return n;
  }
};

TEST_F(Hostile, NamesLeadingOutAreRefusedAndTheRestArrives) {
  std::vector<HostEntry> entries = {
      {.name = (outside / "abs").string(), .content = "x\n"},
      {.name = "../outside/dotdot", .content = "x\n"},
      {.name = "sub/../../outside/deep", .content = "x\n"},
      {.name = "..\\outside\\back", .content = "x\n"},
      {.name = "\\outside\\rooted", .content = "x\n"},
      {.name = "C:drive", .content = "x\n"},
      {.name = std::string("ctl\x01name"), .content = "x\n"},
      {.name = "good.txt", .content = "good\n"},
      {.name = "fine.txt", .content = "fine\n", .source = "../../../../outside/secret"},
  };
  hostversion(1, 1, entries);
  EXPECT_EQ(run(CMD_DOWNLOAD | CMD_INIT), 1);
  EXPECT_EQ(readfile(work / "good.txt"), "good\n");
  EXPECT_FALSE(fs::exists(work / "fine.txt"));  // its source lies outside the version
  EXPECT_EQ(outsidefiles(), std::vector<std::string>{(outside / "secret").string()});
  EXPECT_EQ(readfile(outside / "secret"), "secret\n");
  EXPECT_EQ(refusals(), 8);
  EXPECT_NE(
      std::find(front.alerts.begin(), front.alerts.end(),
                "TROSK Warning -- Host entry refused (parent directory step): ../outside/dotdot"),
      front.alerts.end());
  EXPECT_NE(std::find(front.alerts.begin(), front.alerts.end(),
                      "TROSK Warning -- Host entry refused (control character): ctl?name"),
            front.alerts.end());
  std::string log = readfile(work / "trosk_proj.xml");
  EXPECT_EQ(log.find("outside"), std::string::npos);
}

TEST_F(Hostile, NoDownloadWritesThroughASymbolicLink) {
  fs::create_directories(work / "sub");
  fs::create_directory_symlink(outside, work / "sub" / "link");
  fs::create_directory_symlink(outside, work / "top");
  fs::create_symlink(outside / "secret", work / "leaf");
  hostversion(1, 1,
              {{.name = "sub/link/evil", .content = "x\n"},
               {.name = "top/evil", .content = "x\n"},
               {.name = "leaf", .content = "overwritten\n"},
               {.name = "sub/good", .content = "good\n"}});
  EXPECT_EQ(run(CMD_DOWNLOAD | CMD_INIT), 1);
  EXPECT_EQ(outsidefiles(), std::vector<std::string>{(outside / "secret").string()});
  EXPECT_EQ(readfile(outside / "secret"), "secret\n");
  EXPECT_TRUE(fs::is_symlink(work / "leaf"));
  EXPECT_EQ(readfile(work / "sub/good"), "good\n");
  ASSERT_EQ(refusals(), 3);
  EXPECT_EQ(firstalert(),
            "TROSK Warning -- Symbolic link in the way, file not updated: sub/link/evil");
}

TEST_F(Hostile, TheToolsOwnFilesAreNeverTargets) {
  writefile(work / "trosk_project.xml", "list\n");
  std::vector<HostEntry> entries;
  for (const char* name :
       {"trosk_tmp.txt", "trosk_proj.xml", ".trosk_proj.xml", "trosk_project.xml",
        ".trosk_project.xml", "./troskversion.txt", "TROSK_PROJ_LOG.TXT", "stagefile.xml",
        "troskdiff.tmp", "Trosk_bkup/a.txt", "trosk_proj_dump.xml"}) {
    entries.push_back({.name = name, .content = "hostile\n"});
  }
  entries.push_back({.name = "good.txt", .content = "good\n"});
  hostversion(1, 1, entries);
  EXPECT_EQ(run(CMD_DOWNLOAD | CMD_INIT), 1);
  EXPECT_EQ(refusals(), 11);
  EXPECT_EQ(readfile(work / "trosk_project.xml"), "list\n");
  // Refused, and with them the version is not reached: no stamp claims it.
  EXPECT_FALSE(fs::exists(work / "troskversion.txt"));
  EXPECT_FALSE(fs::exists(work / "Trosk_bkup"));
  EXPECT_FALSE(fs::exists(work / "stagefile.xml"));
  EXPECT_EQ(readfile(work / "trosk_proj.xml").find("hostile"), std::string::npos);
  EXPECT_EQ(readfile(work / "trosk_tmp.txt").find("hostile"), std::string::npos);
  EXPECT_EQ(readfile(work / "good.txt"), "good\n");
}

// --- What arrives must be what the host log describes -----------------

std::vector<std::string> leftovers(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    std::string name = e.path().filename().string();
    if (name.find(".trosk-") != std::string::npos || name == "troskdiff.tmp")
      names.push_back(name);
  }
  return names;
}

TEST_F(Hostile, OtherBytesThanLoggedKeepTheOldFile) {
  writefile(work / "a.txt", "old\n");
  hostversion(1, 1,
              {{.name = "a.txt", .content = "good\n", .served = "tampered!\n"},
               {.name = "new.txt", .content = "new\n", .served = "nEw\n"},
               {.name = "ok.txt", .content = "ok\n"}});
  EXPECT_EQ(run(CMD_DOWNLOAD | CMD_INIT), 1);
  EXPECT_EQ(readfile(work / "a.txt"), "old\n");
  EXPECT_FALSE(fs::exists(work / "new.txt"));  // same size, other checksum
  EXPECT_EQ(readfile(work / "ok.txt"), "ok\n");
  ASSERT_EQ(refusals(), 2);
  EXPECT_EQ(firstalert(),
            "TROSK Warning -- Download does not match the host log, local file kept: a.txt");
  EXPECT_TRUE(leftovers(work).empty());
  std::string log = readfile(work / "trosk_proj.xml");
  EXPECT_NE(log.find("<status>modified</status>"), std::string::npos);
  EXPECT_NE(log.find("<status>missing</status>"), std::string::npos);
}

TEST_F(Hostile, MismatchAfterDifferencesKeepsTheOldFile) {
  rc.promptLevel = 1;
  writefile(work / "a.txt", "old\n");
  hostversion(1, 1, {{.name = "a.txt", .content = "good\n", .served = "tampered!\n"}});
  front.answers = {"y", "d", "y"};
  EXPECT_EQ(run(CMD_DOWNLOAD), 1);
  EXPECT_EQ(readfile(work / "a.txt"), "old\n");
  EXPECT_TRUE(leftovers(work).empty());
}

TEST_F(Hostile, DamagedArmourEndsTheRunAndKeepsTheOldFile) {
  writefile(work / "img.bin", "old\n");
  hostversion(1, 1, {{.name = "img.bin", .content = std::string("\x01\x02\x03", 3), .vtp = true}});
  fs::path stored = versiondir(1) / "img.bin.vtp_v1";
  std::string armour = readfile(stored);
  armour[armour.size() / 2 + 10] ^= 0x15;
  armour.resize(armour.size() - 3);
  writefile(stored, armour);
  EXPECT_THROW(run(CMD_DOWNLOAD | CMD_INIT), RunError);
  EXPECT_EQ(lastalert(), "TROSK error -- download unsuccessful");
  EXPECT_EQ(readfile(work / "img.bin"), "old\n");
  EXPECT_TRUE(leftovers(work).empty());
}

// --- Backups --------------------------------------------------------------

struct Backups : SyncTest {
  void SetUp() override {
    SyncTest::SetUp();
    rc.promptLevel = 0;
    entry.backup = 1;
    hostversion(1, 1,
                {{.name = "a.txt", .content = "host\n"}, {.name = "src/b.c", .content = "host\n"}});
  }
};

TEST_F(Backups, EveryOverwrittenFileIsKeptAndNoBackupIsReplaced) {
  writefile(work / "a.txt", "first\n");
  writefile(work / "src/b.c", "first b\n");
  writefile(work / "Trosk_bkup/a.txt.1", "older backup\n");
  EXPECT_EQ(run(CMD_DOWNLOAD | CMD_INIT), 1);
  EXPECT_EQ(readfile(work / "Trosk_bkup/a.txt"), "first\n");
  EXPECT_EQ(readfile(work / "Trosk_bkup/src/b.c"), "first b\n");
  writefile(work / "a.txt", "second\n");
  EXPECT_EQ(run(CMD_DOWNLOAD), 1);
  writefile(work / "a.txt", "third\n");
  EXPECT_EQ(run(CMD_DOWNLOAD), 1);
  EXPECT_EQ(readfile(work / "Trosk_bkup/a.txt"), "first\n");
  EXPECT_EQ(readfile(work / "Trosk_bkup/a.txt.1"), "older backup\n");
  EXPECT_EQ(readfile(work / "Trosk_bkup/a.txt.2"), "second\n");
  EXPECT_EQ(readfile(work / "Trosk_bkup/a.txt.3"), "third\n");
  EXPECT_EQ(readfile(work / "a.txt"), "host\n");
}

TEST_F(Backups, SettingsSwitchThemOff) {
  writefile(work / "a.txt", "first\n");
  settings.backup = 0;
  EXPECT_EQ(run(CMD_DOWNLOAD | CMD_INIT), 1);
  EXPECT_FALSE(fs::exists(work / "Trosk_bkup"));
  EXPECT_EQ(readfile(work / "a.txt"), "host\n");
}

TEST_F(Backups, ABackupThatCannotBeMadeKeepsTheFile) {
  fs::path outside = scratch.path / "outside";
  fs::create_directories(outside);
  fs::create_directory_symlink(outside, work / "Trosk_bkup");
  writefile(work / "a.txt", "first\n");
  EXPECT_EQ(run(CMD_DOWNLOAD | CMD_INIT), 1);
  EXPECT_TRUE(fs::is_empty(outside));
  EXPECT_EQ(readfile(work / "a.txt"), "first\n");
  ASSERT_FALSE(front.alerts.empty());
  EXPECT_EQ(firstalert(), "TROSK Warning -- Backup failed, local file kept: a.txt");
}

}  // namespace
}  // namespace trosk::testing
