#include "sync/syncproject.h"

#include <gtest/gtest.h>

#include "core/runerror.h"
#include "sync/pathsafety.h"
#include "sync/synchost.h"

namespace trosk::testing {
namespace {

using SyncProject = SyncTest;

const std::string kBinary("\x01\x02\x00\xff\x10 binary\x00", 13);

std::vector<HostEntry> threefiles() {
  return {
      {.name = "a.txt", .content = "alpha\nbeta\n"},
      {.name = "src/b.c", .content = "int main() { return 0; }\n"},
      {.name = "img.bin", .content = kBinary, .vtp = true},
  };
}

// --- First download and what it leaves behind --------------------------

TEST_F(SyncProject, FirstDownloadFetchesEveryFileByteForByte) {
  hostversion(1, 1, threefiles());
  front.answers = {"y"};
  EXPECT_EQ(run(CMD_DOWNLOAD), 1);
  ASSERT_EQ(front.questions.size(), 1u);
  EXPECT_EQ(front.questions[0], "Local project log not found. Create new? (y/n): ");
  EXPECT_EQ(readfile(work / "a.txt"), "alpha\nbeta\n");
  EXPECT_EQ(readfile(work / "src/b.c"), "int main() { return 0; }\n");
  EXPECT_EQ(readfile(work / "img.bin"), kBinary);    // decoded from its armour
  EXPECT_TRUE(fs::exists(work / "trosk_proj.xml"));  // a new log drops the leading dot
  EXPECT_FALSE(fs::exists(work / ".trosk_proj.xml"));
  EXPECT_EQ(readfile(work / "troskversion.txt"), "1/1\n");
  std::string activity = readfile(work / "trosk_proj_log.txt");
  EXPECT_NE(activity.find("V= 1/1  U= "), std::string::npos);
  EXPECT_NE(activity.find("Update download:\n  a.txt  src/b.c  img.bin\n"), std::string::npos);
  std::string out = output();
  EXPECT_NE(out.find("Verifying proj V=1/1 (Entries: 4, Flag: "), std::string::npos);
  EXPECT_NE(out.find("Updating project file:\n   trosk_proj.xml\n"), std::string::npos);
  EXPECT_TRUE(front.alerts.empty());
}

TEST_F(SyncProject, ProgressAndCaptionFollowTheRun) {
  hostversion(1, 1, threefiles());
  EXPECT_EQ(run(CMD_DOWNLOAD | CMD_INIT), 1);
  EXPECT_EQ(front.lastCaption, "Downloading: img.bin");
  ASSERT_FALSE(front.progressSeen.empty());
  EXPECT_EQ(front.progressSeen.front(), 0);
  EXPECT_EQ(front.progressSeen.back(), 100);
  EXPECT_FALSE(rc.meter.active);  // the step ended and its bar went
  EXPECT_EQ(rc.meter.shown, -1);
}

TEST_F(SyncProject, ActivityLogHoldsEightNamesALine) {
  std::vector<HostEntry> files;
  for (int i = 0; i < 10; ++i) files.push_back({.name = "n" + std::to_string(i), .content = "x\n"});
  hostversion(1, 1, files);
  EXPECT_EQ(run(CMD_DOWNLOAD | CMD_INIT), 1);
  std::string activity = readfile(work / "trosk_proj_log.txt");
  EXPECT_NE(activity.find(" Update download:\n  n0  n1  n2  n3  n4  n5  n6  n7\n  n8  n9\n"),
            std::string::npos);
}

TEST_F(SyncProject, RefusingANewLogSkipsTheProject) {
  hostversion(1, 1, threefiles());
  front.answers = {"n"};
  EXPECT_EQ(run(CMD_DOWNLOAD), 0);
  EXPECT_FALSE(fs::exists(work / "a.txt"));
  front.answers = {""};
  EXPECT_EQ(run(CMD_STATUS), 0);
  EXPECT_FALSE(fs::exists(work / "trosk_proj.xml"));
}

TEST_F(SyncProject, HiddenNewLogKeepsItsDot) {
  hostversion(1, 1, threefiles());
  EXPECT_EQ(run(CMD_DOWNLOAD | CMD_INIT | CMD_HIDDEN), 1);
  EXPECT_TRUE(fs::exists(work / ".trosk_proj.xml"));
  EXPECT_FALSE(fs::exists(work / "trosk_proj.xml"));
}

TEST_F(SyncProject, UndottedLogWinsOverDottedOne) {
  hostversion(1, 1, threefiles());
  writefile(work / "trosk_proj.xml", "<trosk>\n <pversion>1</pversion>\n</trosk>\n");
  writefile(work / ".trosk_proj.xml", "<trosk>\n <pversion>7</pversion>\n</trosk>\n");
  run(CMD_STATUS);
  EXPECT_EQ(turn->haveVersion, 1);
  EXPECT_NE(output().find("Have= 1/0  Want= 1/0"), std::string::npos);
}

TEST_F(SyncProject, UnreadableLocalLogIsFatal) {
  writefile(work / "trosk_proj.xml", "not xml at all");
  try {
    run(CMD_STATUS);
    FAIL() << "expected the run to end";
  } catch (const RunError& quit) {
    EXPECT_EQ(quit.code(), -1);
  }
  ASSERT_FALSE(front.alerts.empty());
  EXPECT_EQ(lastalert(), "TROSK error -- error reading file: trosk_proj.xml");
}

TEST_F(SyncProject, FirstDownloadPrefersArchives) {
  hostversion(1, 1,
              {{.name = "bundle.zip", .content = "PK zip bytes", .archive = true},
               {.name = "a.txt", .content = "alpha\n"}});
  EXPECT_EQ(run(CMD_DOWNLOAD | CMD_INIT), 1);
  EXPECT_TRUE(fs::exists(work / "bundle.zip"));
  EXPECT_FALSE(fs::exists(work / "a.txt"));
  std::string log = readfile(work / "trosk_proj.xml");
  EXPECT_NE(log.find("<archive>"), std::string::npos);
  EXPECT_NE(output().find("unzip -o 'bundle.zip'"), std::string::npos);
  // A second archive run finds the archive entry again instead of adding one.
  EXPECT_EQ(run(CMD_DOWNLOAD | CMD_ZIP), 1);
  log = readfile(work / "trosk_proj.xml");
  EXPECT_EQ(log.find("<archive>"), log.rfind("<archive>"));
}

// --- Status --------------------------------------------------------------

struct Downloaded : SyncTest {
  void SetUp() override {
    SyncTest::SetUp();
    hostversion(1, 1,
                {{.name = "a.txt", .content = "alpha\n", .date = 20000101, .time = 120000},
                 {.name = "b.txt", .content = "bravo\n", .date = 20991231, .time = 120000},
                 {.name = "c.txt", .content = "charlie\n"},
                 {.name = "d.txt", .content = "delta\n"},
                 {.name = "e.txt", .content = "echo\n"}});
    EXPECT_EQ(run(CMD_DOWNLOAD | CMD_INIT), 1);
    closeoutput(rc);
    fs::remove(work / kOutputFileName);
    front.questions.clear();
  }
};

TEST_F(Downloaded, StatusListsEachChangeAndTheTotal) {
  writefile(work / "a.txt", "alpha changed\n");    // newer than the host's stamp
  writefile(work / "b.txt", "bravo changed\n");    // older than the host's stamp
  writefile(work / "c.txt", "charlie changed\n");  // host records no stamp
  fs::remove(work / "d.txt");
  std::string before = readfile(work / "trosk_proj.xml");
  EXPECT_EQ(run(CMD_STATUS), 1);
  std::string out = output();
  EXPECT_NE(out.find("\nProject: proj     Host: " + hostroot.string() + "\n"), std::string::npos);
  EXPECT_NE(out.find("Current versions:  Stable= 1  Beta= 0  Alpha= 0, Have= 1/1  Want= 1/0\n"),
            std::string::npos);
  EXPECT_NE(out.find("    Status  FileName             Remote: Size&Date (M/D/Y)    Local: "
                     "Size&Date (if different)\n"),
            std::string::npos);
  EXPECT_NE(out.find("     Newer: a.txt                      6  1/01/00 12:00:00 >      14 "),
            std::string::npos);
  EXPECT_NE(out.find("       Old: b.txt                      6 12/31/99 12:00:00 >      14 "),
            std::string::npos);
  EXPECT_NE(out.find("  Modified: c.txt                      8  0/00/00  0:00:00 >      16 "),
            std::string::npos);
  EXPECT_NE(out.find("   Missing: d.txt                      6  0/00/00  0:00:00\n"),
            std::string::npos);
  EXPECT_EQ(out.find("e.txt"), std::string::npos);
  EXPECT_NE(out.find(" Total of 4 files to update.\n"), std::string::npos);
  EXPECT_EQ(readfile(work / "trosk_proj.xml"), before);  // a status never writes the log
  EXPECT_TRUE(front.questions.empty());
}

TEST_F(Downloaded, StatusOfUnchangedProject) {
  EXPECT_EQ(run(CMD_STATUS | CMD_LIST_ALL), 1);
  std::string out = output();
  EXPECT_NE(out.find(" Unchanged: e.txt                      5 "), std::string::npos);
  EXPECT_NE(out.find(" All files up-to-date (proj).\n"), std::string::npos);
  EXPECT_NE(
      out.find(" Local: Host=" + hostroot.string() + " Port=80 User=<> Vf=<trosk_proj.xml>\n"),
      std::string::npos);
}

TEST_F(Downloaded, ReportOnlyStatusCountsWithoutListing) {
  writefile(work / "a.txt", "alpha changed\n");
  EXPECT_EQ(run(CMD_STATUS | CMD_REPORT_ONLY), 1);
  std::string out = output();
  EXPECT_EQ(out.find("Project: proj"), std::string::npos);
  EXPECT_EQ(out.find("Newer:"), std::string::npos);
  EXPECT_NE(out.find(" Total of 1 files to update.\n"), std::string::npos);
}

TEST_F(Downloaded, TouchedButEqualFileIsUnchangedAndItsStampIsRefreshed) {
  fs::last_write_time(work / "e.txt", fs::last_write_time(work / "e.txt") - std::chrono::hours(5));
  EXPECT_EQ(run(CMD_STATUS), 1);
  EXPECT_NE(output().find(" All files up-to-date (proj).\n"), std::string::npos);
  std::string before = readfile(work / "trosk_proj.xml");
  EXPECT_EQ(run(CMD_DOWNLOAD), 1);
  EXPECT_NE(readfile(work / "trosk_proj.xml"), before);  // the new stamp is recorded
}

// --- Questions before overwriting ---------------------------------------

// Three local files that differ from the host, newer than its stamps.
struct Modified : SyncTest {
  void SetUp() override {
    SyncTest::SetUp();
    hostversion(1, 1,
                {{.name = "a.txt", .content = "host a\n"},
                 {.name = "b.txt", .content = "host b\n"},
                 {.name = "c.txt", .content = "host c\n"}});
    EXPECT_EQ(run(CMD_DOWNLOAD | CMD_INIT), 1);
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) writefile(work / name, "mine\n");
    front.questions.clear();
  }
  int changed() {
    int n = 0;
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) n += readfile(work / name) != "mine\n";
    return n;
  }
};

TEST_F(Modified, EachAnswerDecidesItsFile) {
  front.answers = {"y", "n", ""};
  EXPECT_EQ(run(CMD_DOWNLOAD), 1);
  ASSERT_EQ(front.questions.size(), 3u);
  EXPECT_EQ(front.questions[0], "Update local file <a.txt> (y/n/AllYes/diff)? ");
  EXPECT_EQ(readfile(work / "a.txt"), "host a\n");
  EXPECT_EQ(readfile(work / "b.txt"), "mine\n");
  EXPECT_EQ(readfile(work / "c.txt"), "mine\n");  // an empty answer is no
  std::string log = readfile(work / "trosk_proj.xml");
  EXPECT_NE(log.find("<name>b.txt</name>"), std::string::npos);
  EXPECT_NE(log.find("<status>modified</status>"), std::string::npos);
}

TEST_F(Modified, YesToAllIsRememberedForTheRun) {
  front.answers = {"A"};
  run(CMD_DOWNLOAD);
  EXPECT_EQ(front.questions.size(), 1u);
  EXPECT_EQ(changed(), 3);
  EXPECT_TRUE(rc.promptLevel & kPromptAllYes);
}

TEST_F(Modified, NoToAllIsRememberedForTheRun) {
  front.answers = {"X"};
  run(CMD_DOWNLOAD);
  EXPECT_EQ(front.questions.size(), 1u);
  EXPECT_EQ(changed(), 0);
  EXPECT_TRUE(rc.promptLevel & kPromptAllNo);
}

TEST_F(Modified, DiffShowsTheLinesThenAsksAgain) {
  front.answers = {"d", "y", "n", "d", "n"};
  run(CMD_DOWNLOAD);
  ASSERT_EQ(front.questions.size(), 5u);
  EXPECT_EQ(front.questions[1], front.questions[0]);  // asked again after the differences
  EXPECT_EQ(readfile(work / "a.txt"), "host a\n");
  EXPECT_EQ(readfile(work / "c.txt"), "mine\n");
  std::string out = output();
  EXPECT_NE(out.find("--- a.txt (local)\n+++ a.txt (host)\n"), std::string::npos);
  EXPECT_NE(out.find("-mine\n+host a\n"), std::string::npos);
  EXPECT_FALSE(fs::exists(work / kDiffTemp));
}

TEST_F(Modified, BinaryDifferencesAreOnlyNamed) {
  hostversion(1, 1, {{.name = "a.txt", .content = kBinary, .vtp = true}});
  front.answers = {"d", "n"};
  run(CMD_DOWNLOAD);
  EXPECT_NE(output().find("Binary files a.txt (local) and a.txt (host) differ\n"),
            std::string::npos);
  EXPECT_EQ(readfile(work / "a.txt"), "mine\n");
}

TEST_F(Modified, OlderHostCopyAsksForConfirmation) {
  hostversion(1, 1, {{.name = "a.txt", .content = "host a\n", .date = 20000101, .time = 1}});
  front.answers = {"y", "n"};
  run(CMD_DOWNLOAD);
  ASSERT_EQ(front.questions.size(), 2u);
  EXPECT_EQ(front.questions[1], "Confirm overwrite of a.txt with older version  (y/n AllYes)? ");
  EXPECT_EQ(readfile(work / "a.txt"), "mine\n");
}

TEST_F(Modified, PromptLevelZeroAsksNothing) {
  rc.promptLevel = 0;
  hostversion(1, 1,
              {{.name = "a.txt", .content = "host a\n", .date = 20000101, .time = 1},
               {.name = "b.txt", .content = "host b\n"}});
  run(CMD_DOWNLOAD);
  EXPECT_TRUE(front.questions.empty());
  EXPECT_EQ(readfile(work / "a.txt"), "host a\n");
  EXPECT_EQ(readfile(work / "b.txt"), "host b\n");
}

TEST_F(Modified, LargeFileIsConfirmedEvenAtPromptLevelZero) {
  rc.promptLevel = 0;
  std::string big(2000001, 'x');
  hostversion(1, 1, {{.name = "a.txt", .content = big}, {.name = "b.txt", .content = big}});
  front.answers = {"n", "y"};
  run(CMD_DOWNLOAD);
  ASSERT_EQ(front.questions.size(), 2u);
  EXPECT_EQ(front.questions[0], "Confirm update of large file a.txt (2 Mb) (y/n)? ");
  EXPECT_EQ(readfile(work / "a.txt"), "mine\n");
  EXPECT_EQ(readfile(work / "b.txt"), big);
}

TEST_F(Modified, YesToAllCoversLaterLargeFiles) {
  std::string big(2000001, 'x');
  hostversion(1, 1, {{.name = "a.txt", .content = "host a\n"}, {.name = "b.txt", .content = big}});
  front.answers = {"A"};
  run(CMD_DOWNLOAD);
  EXPECT_EQ(front.questions.size(), 1u);
  EXPECT_EQ(readfile(work / "b.txt"), big);
}

TEST_F(SyncProject, FourHundredTransfersThenHalt) {
  std::vector<HostEntry> files;
  for (int i = 0; i < 403; ++i) {
    files.push_back({.name = "f" + std::to_string(i), .content = std::to_string(i) + "\n"});
  }
  hostversion(1, 1, files);
  EXPECT_EQ(run(CMD_DOWNLOAD | CMD_INIT), 1);
  std::string out = output();
  std::size_t at = out.find("Too many files (>400) -- update halted\n");
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(out.find("Too many files", at + 1), std::string::npos);
  EXPECT_TRUE(fs::exists(work / "f399"));
  EXPECT_FALSE(fs::exists(work / "f400"));
  EXPECT_FALSE(fs::exists(work / "f402"));
  std::string log = readfile(work / "trosk_proj.xml");
  EXPECT_NE(log.find("<name>f399</name>"), std::string::npos);
  EXPECT_EQ(log.find("<name>f400</name>"), std::string::npos);  // left for the next run
  EXPECT_EQ(run(CMD_DOWNLOAD), 1);
  EXPECT_TRUE(fs::exists(work / "f402"));
}

// --- Catalogue, access and version choice --------------------------------

TEST_F(SyncProject, CatalogueChoosesTheReleaseVersion) {
  catalogue("  <stable>1</stable>\n  <beta>2</beta>\n  <alpha>3</alpha>\n");
  hostversion(1, 1, {{.name = "a.txt", .content = "one\n"}});
  hostversion(2, 1, {{.name = "a.txt", .content = "two\n"}});
  hostversion(3, 1, {{.name = "a.txt", .content = "three\n"}});
  settings.release = kReleaseBeta;
  EXPECT_EQ(run(CMD_DOWNLOAD | CMD_INIT), 1);
  EXPECT_EQ(readfile(work / "a.txt"), "two\n");
  EXPECT_NE(readfile(work / "trosk_proj.xml").find("<pversion>2</pversion>"), std::string::npos);
  settings.release = 0;
  entry.release = kReleaseAlpha;
  rc.promptLevel = 0;
  run(CMD_DOWNLOAD);
  EXPECT_EQ(readfile(work / "a.txt"), "three\n");
}

TEST_F(SyncProject, NewLogRecordsTheVersionFetchedWhateverTheListSaid) {
  catalogue("  <stable>2</stable>\n");
  hostversion(2, 1, {{.name = "a.txt", .content = "two\n"}});
  entry.version = 2;  // as a "version" element of the project list sets it
  EXPECT_EQ(run(CMD_DOWNLOAD | CMD_INIT), 1);
  EXPECT_EQ(readfile(work / "a.txt"), "two\n");
  EXPECT_NE(readfile(work / "trosk_proj.xml").find("<pversion>2</pversion>"), std::string::npos);
  closeoutput(rc);
  EXPECT_EQ(run(CMD_STATUS), 1);
  EXPECT_NE(output().find("Have= 2/1  Want= 2/0\n"), std::string::npos);
}

TEST_F(SyncProject, StableZeroFallsBackToPversion) {
  catalogue("  <stable>0</stable>\n  <pversion>7</pversion>\n");
  hostversion(7, 1, {{.name = "a.txt", .content = "seven\n"}});
  EXPECT_EQ(run(CMD_STATUS | CMD_INIT), 1);
  EXPECT_NE(output().find("Stable= 7  Beta= 0  Alpha= 0, Have= 0/0  Want= 7/0"), std::string::npos);
}

TEST_F(SyncProject, UnreadableCatalogueMeansVersionOne) {
  hostversion(1, 1, {{.name = "a.txt", .content = "one\n"}});
  EXPECT_EQ(run(CMD_STATUS | CMD_INIT), 1);
  EXPECT_NE(output().find("Want= 1/0"), std::string::npos);
}

TEST_F(SyncProject, MissingReleaseNumberIsFatal) {
  catalogue("  <stable>1</stable>\n");
  settings.release = kReleaseAlpha;
  EXPECT_THROW(run(CMD_STATUS | CMD_INIT), RunError);
  EXPECT_EQ(lastalert(),
            "TROSK error -- can't identify requested version in remote file: "
            "/trosk/proj/current.xml");
}

TEST_F(SyncProject, CatalogueFallsBackToTheDirectHost) {
  hostversion(1, 1, {{.name = "a.txt", .content = "one\n"}});
  catalogue("  <stable>1</stable>\n");
  copystr(entry.host, entry.host2, kPathSize - 1);
  copystr((scratch.path / "nowhere").c_str(), entry.host, kPathSize - 1);
  EXPECT_EQ(run(CMD_DOWNLOAD | CMD_INIT), 1);
  EXPECT_TRUE(turn->onhost2);
  EXPECT_EQ(readfile(work / "a.txt"), "one\n");
}

TEST_F(SyncProject, UserOutsideTheListIsRefused) {
  catalogue("  <stable>1</stable>\n  <user>alice</user>\n");
  hostversion(1, 1, {{.name = "a.txt", .content = "one\n"}});
  settings.userName = "bob";
  EXPECT_EQ(run(CMD_DOWNLOAD | CMD_INIT), 0);
  ASSERT_EQ(front.alerts.size(), 1u);
  EXPECT_EQ(firstalert(), "TROSK Warning -- Unauthorized user for project proj -- Access denied");
  EXPECT_FALSE(fs::exists(work / "a.txt"));
  settings.userName = "alice";
  EXPECT_EQ(run(CMD_DOWNLOAD | CMD_INIT), 1);
  EXPECT_TRUE(fs::exists(work / "a.txt"));
}

TEST_F(SyncProject, ProjectNeedingANewerProgramIsSkipped) {
  hostversion(1, 1, {{.name = "a.txt", .content = "one\n"}});
  catalogue("  <stable>1</stable>\n  <troskversion>1.25</troskversion>\n");
  EXPECT_EQ(run(CMD_DOWNLOAD | CMD_INIT), 0);
  ASSERT_EQ(front.alerts.size(), 1u);
  EXPECT_EQ(firstalert(), "TROSK Warning -- This project requires Trosk version 1.25");
  catalogue("  <stable>1</stable>\n  <troskversion>1.19</troskversion>\n");
  EXPECT_EQ(run(CMD_DOWNLOAD | CMD_INIT), 1);
  EXPECT_TRUE(fs::exists(work / "a.txt"));
}

TEST_F(SyncProject, SubversionWithUploadIsFatal) {
  hostversion(1, 1, {{.name = "a.txt", .content = "one\n"}});
  entry.status = kStatusSource;
  EXPECT_THROW(run(CMD_UPLOAD | CMD_DOWNLOAD | CMD_INIT, 0, 1), RunError);
  EXPECT_EQ(lastalert(), "TROSK error -- can't specify subversion on upload");
}

TEST_F(SyncProject, MissingHostLogIsFatal) {
  EXPECT_THROW(run(CMD_STATUS | CMD_INIT), RunError);
  EXPECT_EQ(lastalert(),
            "TROSK error -- Error reading remote log file: /trosk/proj/proj_1/trosk_proj.xml");
}

TEST_F(SyncProject, HostInTheLocalLogIsUsedUnlessOverridden) {
  hostversion(1, 1, {{.name = "a.txt", .content = "one\n"}});
  writefile(work / "trosk_proj.xml", "<trosk>\n <pversion>1</pversion>\n <host>" +
                                         hostroot.string() + "</host>\n</trosk>\n");
  copystr("/no/such/host", entry.host, kPathSize - 1);
  EXPECT_EQ(run(CMD_DOWNLOAD), 1);
  EXPECT_EQ(readfile(work / "a.txt"), "one\n");
  settings.hostName = "/no/such/host";
  EXPECT_THROW(run(CMD_STATUS), RunError);
}

TEST_F(SyncProject, PortComesFromOptionThenHostTextThenDefault) {
  rc.verboseLevel = 1;
  copystr("http://127.0.0.1:1/base", entry.host, kPathSize - 1);  // nothing listens there
  EXPECT_THROW(run(CMD_STATUS | CMD_INIT), RunError);
  settings.port = 2;
  EXPECT_THROW(run(CMD_STATUS | CMD_INIT), RunError);
  std::string out = output();
  EXPECT_NE(out.find("host=<http://127.0.0.1:1/base> port=1 "), std::string::npos);
  EXPECT_NE(out.find("host=<http://127.0.0.1:1/base> port=2 "), std::string::npos);
}

TEST_F(SyncProject, LogWithoutSubversionIsNotVerifiedBeforeADownload) {
  hostversion(1, 1, {{.name = "a.txt", .content = "one\n"}});
  writefile(work / "trosk_proj.xml", "<trosk>\n <pversion>1</pversion>\n</trosk>\n");
  EXPECT_EQ(run(CMD_DOWNLOAD), 1);
  std::string out = output();
  EXPECT_EQ(out.find("Verifying"), out.rfind("Verifying"));
  EXPECT_EQ(readfile(work / "a.txt"), "one\n");
}

TEST_F(SyncProject, NoVerifySkipsTheVerificationPass) {
  hostversion(1, 1, {{.name = "a.txt", .content = "one\n"}});
  EXPECT_EQ(run(CMD_DOWNLOAD | CMD_INIT), 1);
  closeoutput(rc);
  settings.noVerify = 1;
  EXPECT_EQ(run(CMD_DOWNLOAD), 1);
  std::string out = output();
  EXPECT_EQ(out.find("Verifying"), out.rfind("Verifying"));
  settings.noVerify = 0;
  closeoutput(rc);
  EXPECT_EQ(run(CMD_DOWNLOAD), 1);
  out = output();
  EXPECT_NE(out.find("Verifying"), out.rfind("Verifying"));  // 1/1 is not 1/0: verified first
}

TEST_F(SyncProject, VerboseRunTellsWhatItChose) {
  hostversion(1, 1, {{.name = "a.txt", .content = "one\n"}});
  rc.verboseLevel = 1;
  run(CMD_STATUS | CMD_INIT);
  EXPECT_NE(output().find("host=<" + hostroot.string() +
                          "> port=80 tkdir=<trosk> project=<proj> want=1/0\n"),
            std::string::npos);
}

// --- Verify, displays and the dump --------------------------------------

TEST_F(Downloaded, VerifyRefreshesTheLocalLog) {
  writefile(work / "a.txt", "alpha changed\n");
  fs::remove(work / "d.txt");
  EXPECT_EQ(run(CMD_VERIFY), 1);
  EXPECT_NE(output().find("Verified local log file -- 2 entries updated\n"), std::string::npos);
  std::string log = readfile(work / "trosk_proj.xml");
  EXPECT_NE(log.find("<status>newer</status>"), std::string::npos);
  EXPECT_NE(log.find("<status>missing</status>"), std::string::npos);
  EXPECT_EQ(readfile(work / "a.txt"), "alpha changed\n");  // verify transfers nothing
}

TEST_F(Downloaded, VerifyMarksOnlyLoggedFilesMissing) {
  hostversion(1, 1,
              {{.name = "a.txt", .content = "alpha\n", .date = 20000101, .time = 120000},
               {.name = "b.txt", .content = "bravo\n", .date = 20991231, .time = 120000},
               {.name = "c.txt", .content = "charlie\n"},
               {.name = "d.txt", .content = "delta\n"},
               {.name = "e.txt", .content = "echo\n"},
               {.name = "f.txt", .content = "foxtrot\n"}});
  fs::remove(work / "d.txt");
  EXPECT_EQ(run(CMD_VERIFY), 1);
  EXPECT_NE(output().find("Verified local log file -- 2 entries updated\n"), std::string::npos);
  std::string log = readfile(work / "trosk_proj.xml");
  EXPECT_NE(log.find("<name>d.txt</name>\n  <status>missing</status>\n"), std::string::npos);
  EXPECT_NE(log.find("<name>f.txt</name>\n </file>\n"), std::string::npos);  // never held
}

TEST_F(Downloaded, VerifyWithoutHostLogReportsTheFailure) {
  fs::remove_all(versiondir(1));
  EXPECT_EQ(run(CMD_VERIFY), 1);
  std::string out = output();
  EXPECT_NE(out.find("Verify error reading remote log file: /trosk/proj/proj_1/trosk_proj.xml\n"),
            std::string::npos);
  EXPECT_NE(out.find("Verified local log file -- -1 entries updated\n"), std::string::npos);
}

TEST_F(Downloaded, ShowVersionsPrintsTheVersionLog) {
  writefile(hostroot / "trosk/proj/versionlog.txt", "1/1  Created new version\n");
  settings.showMode = SHOW_VERSIONS;
  EXPECT_EQ(run(CMD_DISPLAY), 0);
  std::string out = output();
  EXPECT_NE(out.find("\nProject: proj     Host: "), std::string::npos);
  EXPECT_NE(out.find("\nRemote Log:\n1/1  Created new version\n"), std::string::npos);
  fs::remove(hostroot / "trosk/proj/versionlog.txt");
  EXPECT_THROW(run(CMD_DISPLAY), RunError);
  EXPECT_EQ(lastalert(), "TROSK error -- Error reading file: /trosk/proj/versionlog.txt");
}

TEST_F(Downloaded, ShowLogPrintsTheActivityLog) {
  settings.showMode = SHOW_LOG;
  EXPECT_EQ(run(CMD_DISPLAY), 0);
  EXPECT_NE(output().find("Update download:\n  a.txt  b.txt  c.txt  d.txt  e.txt\n"),
            std::string::npos);
  fs::remove(work / "trosk_proj_log.txt");
  EXPECT_EQ(run(CMD_DISPLAY), 0);
  EXPECT_NE(output().find("File not found: trosk_proj_log.txt\n"), std::string::npos);
}

TEST_F(Downloaded, DumpWritesTheHostLogToItsOwnFile) {
  std::string local = readfile(work / "trosk_proj.xml");
  settings.showMode = SHOW_DUMP;
  EXPECT_EQ(run(CMD_DISPLAY), -1);
  EXPECT_EQ(readfile(work / "trosk_proj_dump.xml"), readfile(versiondir(1) / "trosk_proj.xml"));
  EXPECT_NE(output().find("Host log written to: trosk_proj_dump.xml\n"), std::string::npos);
  EXPECT_EQ(readfile(work / "trosk_proj.xml"), local);
}

TEST_F(Downloaded, DumpNeverReplacesAnotherProjectsLog) {
  session.projects.emplace_back();
  copystr("proj_dump", session.projects.back().name, kNameSize - 1);
  writefile(work / "trosk_proj_dump.xml", "other project's log");
  settings.showMode = SHOW_DUMP;
  EXPECT_EQ(run(CMD_DISPLAY), -1);
  EXPECT_EQ(readfile(work / "trosk_proj_dump.xml"), "other project's log");
  EXPECT_TRUE(fs::exists(work / "trosk_proj_dump.xml.dump"));
  EXPECT_NE(output().find("Host log written to: trosk_proj_dump.xml.dump\n"), std::string::npos);
}

}  // namespace
}  // namespace trosk::testing
