#include "core/output.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/runerror.h"
#include "core/timer.h"
#include "testing/testing.h"

namespace trosk {
namespace {

using testing::FakeFrontend;
using testing::ScratchDir;
using testing::readfile;
using testing::writefile;

TEST(PrintmsgTest, FirstMessageEmptiesTheFileLaterOnesAppend) {
  ScratchDir dir;
  writefile(kOutputFileName, "old content\n");
  EXPECT_EQ(printmsg(nullptr, "one %d\n", 1), 0);
  EXPECT_EQ(readfile(kOutputFileName), "one 1\n");  // flushed per message
  printmsg(nullptr, "two %s\n", "x");
  EXPECT_EQ(readfile(kOutputFileName), "one 1\ntwo x\n");
  closeoutput();
  printmsg(nullptr, "three\n");
  EXPECT_EQ(readfile(kOutputFileName), "three\n");
}

TEST(PrintmsgTest, UnopenableFileLosesTheMessageAndTheNextOneTriesAgain) {
  ScratchDir dir;
  std::filesystem::create_directory(kOutputFileName);  // in the way of the file
  EXPECT_EQ(printmsg(nullptr, "lost\n"), -1);
  std::filesystem::remove(kOutputFileName);
  EXPECT_EQ(printmsg(nullptr, "kept\n"), 0);
  EXPECT_EQ(readfile(kOutputFileName), "kept\n");
}

TEST(PrintmsgTest, WithoutTheOutputFileNothingIsWritten) {
  ScratchDir dir;
  keepoutputfile(false);
  EXPECT_EQ(printmsg(nullptr, "dropped\n"), 0);
  EXPECT_FALSE(std::filesystem::exists(kOutputFileName));
  keepoutputfile(true);
  printmsg(nullptr, "kept\n");
  EXPECT_EQ(readfile(kOutputFileName), "kept\n");
}

TEST(AlertboxTest, TextIsBoundedAndOnlyANegativeCodeEndsTheProcess) {
  FakeFrontend ui;
  std::string huge(400, 'a');
  EXPECT_EQ(alertbox(huge.c_str(), 0), 0);
  EXPECT_EQ(alertbox("note", 1), 0);
  ASSERT_EQ(ui.alerts.size(), 2u);
  EXPECT_EQ(ui.alerts[0], std::string(kAlertSize, 'a'));
  EXPECT_EQ(ui.alerts[1], "note");
  try {
    alertbox("fatal", -7);
    FAIL() << "alertbox returned";
  } catch (const RunError& q) {
    EXPECT_EQ(q.code(), -7);
  }
  EXPECT_EQ(ui.alerts.back(), "fatal");
}

TEST(ErrormsgTest, AlertsWithPrefixAndEndsWithMinusOne) {
  ScratchDir dir;
  FakeFrontend ui;
  try {
    errormsg("Unrecognized option: %s", "-xyz");
    FAIL() << "errormsg returned";
  } catch (const RunError& q) {
    EXPECT_EQ(q.code(), -1);
  }
  ASSERT_EQ(ui.alerts.size(), 1u);
  EXPECT_EQ(ui.alerts[0], "TROSK error -- Unrecognized option: -xyz");
  EXPECT_FALSE(std::filesystem::exists(kOutputFileName));  // reports do not go to the file
}

TEST(WarnmsgTest, ReturnsAndReportIsBounded) {
  FakeFrontend ui;
  EXPECT_EQ(warnmsg("This project requires Trosk version %s", "2.5"), 0);
  EXPECT_EQ(ui.alerts.at(0), "TROSK Warning -- This project requires Trosk version 2.5");
  std::string huge(500, 'h');
  warnmsg("%s", huge.c_str());
  EXPECT_EQ(ui.alerts.at(1).size(), kReportSize);
}

TEST(AskuserTest, TrimsAndLooksUpTheFirstLetter) {
  FakeFrontend ui;
  ui.answers = {"  Yes  ", "x", "X", "", "d", "A"};
  EXPECT_EQ(askuser("q? ", nullptr, "ynYN"), 3);
  EXPECT_EQ(askuser("q? ", nullptr, "ynYN"), -1);   // not a letter: read as yes
  EXPECT_EQ(askuser("q? ", nullptr, "ynYN"), -1);   // no to all is not among these letters
  EXPECT_EQ(askuser("q? ", nullptr, "ynYNAXd"), 0); // empty answer
  EXPECT_EQ(askuser("q? ", nullptr, "ynYNAXd"), 7);
  EXPECT_EQ(askuser("q? ", nullptr, "ynYNAX"), 5);
  EXPECT_EQ(ui.questions.size(), 6u);
}

TEST(AskuserTest, TextAnswersAreStoredTrimmed) {
  FakeFrontend ui;
  ui.answers = {"  demo \t", ""};
  char answer[kTextAnswerMax + 1] = "unchanged";
  EXPECT_EQ(askuser("Enter project name: ", answer, nullptr), 1);
  EXPECT_STREQ(answer, "demo");
  strcpy(answer, "kept");
  EXPECT_EQ(askuser("Enter project name: ", answer, nullptr), 0);
  EXPECT_STREQ(answer, "kept");
}

TEST(TimerTest, PerformanceLogFormats) {
  ScratchDir dir;
  timerreset();
  timerlog(-1, 0, nullptr);
  EXPECT_EQ(readfile(kOutputFileName),
            "Performance log:\n   routine    total_time   each_time      N\n");
  closeoutput();
  // Three calls that each claim 100 units (2 ms): 6 ms in all, 2 ms each.
  for (int i = 0; i < 3; ++i) timercount(kTimeVerify, 100, i == 0 ? "verify" : "other");
  timerlog(-1, 0, nullptr);
  std::string log = readfile(kOutputFileName);
  EXPECT_NE(log.find("       verify      0.006 s       2.000 ms        3\n"), std::string::npos) << log;
  timerreset();
}

TEST(TimerTest, ExactlyOneMillisecondEachIsPrintedInMicroseconds) {
  ScratchDir dir;
  timerreset();
  timercount(kTimeCopyfile, 50, "copyfile");
  timerlog(-1, 0, nullptr);
  EXPECT_NE(readfile(kOutputFileName).find("   1000.000 us"), std::string::npos);
  timerreset();
}

}  // namespace
}  // namespace trosk
