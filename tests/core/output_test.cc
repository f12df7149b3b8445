#include "core/output.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "core/cause.h"
#include "core/runerror.h"
#include "core/timer.h"
#include "testing/testing.h"

namespace trosk {
namespace {

using testing::FakeContext;
using testing::FakeFrontend;
using testing::ScratchDir;
using testing::readfile;
using testing::writefile;

TEST(PrintmsgTest, FirstMessageEmptiesTheFileLaterOnesAppend) {
  ScratchDir dir;
  FakeContext c;
  writefile(kOutputFileName, "old content\n");
  EXPECT_EQ(printmsg(c.rc, "one %d\n", 1), 0);
  EXPECT_EQ(readfile(kOutputFileName), "one 1\n");  // flushed per message
  printmsg(c.rc, "two %s\n", "x");
  EXPECT_EQ(readfile(kOutputFileName), "one 1\ntwo x\n");
  closeoutput(c.rc);
  printmsg(c.rc, "three\n");
  EXPECT_EQ(readfile(kOutputFileName), "three\n");
}

TEST(PrintmsgTest, UnopenableFileLosesTheMessageAndTheNextOneTriesAgain) {
  ScratchDir dir;
  FakeContext c;
  std::filesystem::create_directory(kOutputFileName);  // in the way of the file
  EXPECT_EQ(printmsg(c.rc, "lost\n"), -1);
  std::filesystem::remove(kOutputFileName);
  EXPECT_EQ(printmsg(c.rc, "kept\n"), 0);
  EXPECT_EQ(readfile(kOutputFileName), "kept\n");
}

TEST(PrintmsgTest, WithoutTheOutputFileOnlyTheEchoIsWritten) {
  ScratchDir dir;
  FakeContext c;
  c.rc.output.tofile = false;
  FILE* echo = std::tmpfile();
  ASSERT_NE(echo, nullptr);
  c.rc.output.echo = echo;
  EXPECT_EQ(printmsg(c.rc, "dropped %d\n", 7), 0);
  EXPECT_FALSE(std::filesystem::exists(kOutputFileName));
  std::rewind(echo);
  char echoed[32] = {};
  EXPECT_NE(std::fgets(echoed, sizeof echoed, echo), nullptr);
  EXPECT_STREQ(echoed, "dropped 7\n");
  std::fclose(echo);
  c.rc.output.echo = nullptr;
  c.rc.output.tofile = true;
  printmsg(c.rc, "kept\n");
  EXPECT_EQ(readfile(kOutputFileName), "kept\n");
}

TEST(AlertboxTest, TextIsBoundedAndOnlyANegativeCodeEndsTheProcess) {
  FakeContext c;
  FakeFrontend& ui = c.fake;
  std::string huge(400, 'a');
  EXPECT_EQ(alertbox(c.rc, huge.c_str(), 0), 0);
  EXPECT_EQ(alertbox(c.rc, "note", 1), 0);
  ASSERT_EQ(ui.alerts.size(), 2u);
  EXPECT_EQ(ui.alerts[0], std::string(kAlertSize, 'a'));
  EXPECT_EQ(ui.alerts[1], "note");
  try {
    alertbox(c.rc, "fatal", -7);
    FAIL() << "alertbox returned";
  } catch (const RunError& q) {
    EXPECT_EQ(q.code(), -7);
  }
  EXPECT_EQ(ui.alerts.back(), "fatal");
}

TEST(ErrormsgTest, AlertsWithPrefixAndEndsWithMinusOne) {
  ScratchDir dir;
  FakeContext c;
  FakeFrontend& ui = c.fake;
  try {
    errormsg(c.rc, "Unrecognized option: %s", "-xyz");
    FAIL() << "errormsg returned";
  } catch (const RunError& q) {
    EXPECT_EQ(q.code(), -1);
  }
  ASSERT_EQ(ui.alerts.size(), 1u);
  EXPECT_EQ(ui.alerts[0], "TROSK error -- Unrecognized option: -xyz");
  EXPECT_EQ(ui.causes.at(0), "");
  EXPECT_FALSE(std::filesystem::exists(kOutputFileName));  // reports do not go to the file
}

TEST(ErrormsgTest, TheFirstCauseGoesToTheOutputTheAlertAndTheError) {
  ScratchDir dir;
  FakeContext c;
  setcause(c.rc, "HTTP %d: %s", 401, "Unauthorized");
  setcause(c.rc, "a failure that followed from it");
  try {
    causederror(c.rc, "Error writing file: %s", "log.xml");
    FAIL() << "causederror returned";
  } catch (const RunError& q) {
    EXPECT_EQ(q.cause(), "HTTP 401: Unauthorized");
  }
  EXPECT_EQ(readfile(kOutputFileName), "Cause: HTTP 401: Unauthorized\n");
  ASSERT_EQ(c.fake.alerts.size(), 1u);
  EXPECT_EQ(c.fake.alerts[0], "TROSK error -- Error writing file: log.xml");
  EXPECT_EQ(c.fake.causes[0], "HTTP 401: Unauthorized");
}

TEST(WarnmsgTest, ReturnsAndReportIsBounded) {
  FakeContext c;
  FakeFrontend& ui = c.fake;
  EXPECT_EQ(warnmsg(c.rc, "This project requires Trosk version %s", "2.5"), 0);
  EXPECT_EQ(ui.alerts.at(0), "TROSK Warning -- This project requires Trosk version 2.5");
  std::string huge(500, 'h');
  warnmsg(c.rc, "%s", huge.c_str());
  EXPECT_EQ(ui.alerts.at(1).size(), kReportSize);
}

TEST(AskuserTest, TrimsAndLooksUpTheFirstLetter) {
  FakeContext c;
  FakeFrontend& ui = c.fake;
  ui.answers = {"  Yes  ", "x", "X", "", "d", "A"};
  EXPECT_EQ(askuser(c.rc, "q? ", nullptr, "ynYN"), 3);
  EXPECT_EQ(askuser(c.rc, "q? ", nullptr, "ynYN"), -1);   // not a letter: read as yes
  EXPECT_EQ(askuser(c.rc, "q? ", nullptr, "ynYN"), -1);   // no to all is not among these letters
  EXPECT_EQ(askuser(c.rc, "q? ", nullptr, "ynYNAXd"), 0); // empty answer
  EXPECT_EQ(askuser(c.rc, "q? ", nullptr, "ynYNAXd"), 7);
  EXPECT_EQ(askuser(c.rc, "q? ", nullptr, "ynYNAX"), 5);
  EXPECT_EQ(ui.questions.size(), 6u);
}

TEST(AskuserTest, TextAnswersAreStoredTrimmed) {
  FakeContext c;
  FakeFrontend& ui = c.fake;
  ui.answers = {"  demo \t", ""};
  char answer[kTextAnswerMax + 1] = "unchanged";
  EXPECT_EQ(askuser(c.rc, "Enter project name: ", answer, nullptr), 1);
  EXPECT_STREQ(answer, "demo");
  strcpy(answer, "kept");
  EXPECT_EQ(askuser(c.rc, "Enter project name: ", answer, nullptr), 0);
  EXPECT_STREQ(answer, "kept");
}

TEST(TimerTest, PerformanceLogFormats) {
  ScratchDir dir;
  FakeContext c;
  timerlog(c.rc, -1, 0, nullptr);
  EXPECT_EQ(readfile(kOutputFileName),
            "Performance log:\n   routine    total_time   each_time      N\n");
  closeoutput(c.rc);
  // Three calls that each claim 100 units (2 ms): 6 ms in all, 2 ms each.
  for (int i = 0; i < 3; ++i) timercount(c.rc, kTimeVerify, 100, i == 0 ? "verify" : "other");
  timerlog(c.rc, -1, 0, nullptr);
  std::string log = readfile(kOutputFileName);
  EXPECT_NE(log.find("       verify      0.006 s       2.000 ms        3\n"), std::string::npos) << log;
}

TEST(TimerTest, ExactlyOneMillisecondEachIsPrintedInMicroseconds) {
  ScratchDir dir;
  FakeContext c;
  timercount(c.rc, kTimeCopyfile, 50, "copyfile");
  timerlog(c.rc, -1, 0, nullptr);
  EXPECT_NE(readfile(kOutputFileName).find("   1000.000 us"), std::string::npos);
}

}  // namespace
}  // namespace trosk
