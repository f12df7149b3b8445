#include "console/console.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "core/output.h"
#include "core/runcontext.h"
#include "testing/testing.h"

namespace trosk {
namespace {

// A console whose input is `typed` and whose standard error is captured.
struct Console {
  explicit Console(const std::string& typed) : input(typed.empty() ? std::string(1, '\0') : typed) {
    // fmemopen refuses an empty buffer: a lone NUL read as end of input stands in.
    in = typed.empty() ? std::tmpfile() : fmemopen(input.data(), input.size(), "r");
    err = open_memstream(&errText, &errSize);
  }
  ~Console() {
    std::fclose(in);
    std::fclose(err);
    std::free(errText);
  }
  std::string shown() {
    std::fflush(err);
    return std::string(errText, errSize);
  }
  std::string input;
  FILE* in = nullptr;
  FILE* err = nullptr;
  char* errText = nullptr;
  std::size_t errSize = 0;
};

TEST(ConsoleTest, ButtonQuestionShowsTheLegendAndReadsOneLine) {
  Console c("Y\nn\n");
  ConsoleFrontend ui(c.in, c.err);
  char answer[kAnswerSize];
  ui.ask("Update local file <a.c> (y/n/AllYes/diff)? ", answer, sizeof answer, "ynYNAXd");
  EXPECT_STREQ(answer, "Y\n");
  std::string shown = c.shown();
  EXPECT_EQ(shown.rfind("Update local file <a.c> (y/n/AllYes/diff)? ", 0), 0u);
  EXPECT_NE(shown.find("A yes to all"), std::string::npos);
  EXPECT_NE(shown.find("X no to all"), std::string::npos);
  EXPECT_NE(shown.find("d show differences"), std::string::npos);
  ui.ask("Name: ", answer, sizeof answer, nullptr);
  EXPECT_STREQ(answer, "n\n");
  EXPECT_EQ(c.shown().find("yes to all", shown.size()), std::string::npos);
  EXPECT_NE(shown.find("show differences] Y\n"), std::string::npos);  // a piped answer is echoed
}

TEST(ConsoleTest, EndOfInputIsAnEmptyAnswer) {
  Console c("");
  ConsoleFrontend ui(c.in, c.err);
  char answer[16] = "stale";
  ui.ask("Create new? (y/n): ", answer, sizeof answer, "ynYN");
  EXPECT_STREQ(answer, "");
}

TEST(ConsoleTest, OverlongLineDoesNotLeakIntoTheNextQuestion) {
  Console c(std::string(100, 'y') + "\nn\n");
  ConsoleFrontend ui(c.in, c.err);
  char answer[8];
  ui.ask("q1? ", answer, sizeof answer, "ynYN");
  EXPECT_EQ(std::string(answer), std::string(7, 'y'));
  ui.ask("q2? ", answer, sizeof answer, "ynYN");
  EXPECT_STREQ(answer, "n\n");
}

TEST(ConsoleTest, AlertsGoToStandardErrorAndNoBarWithoutATerminal) {
  Console c("");
  ConsoleFrontend ui(c.in, c.err);
  ui.caption("Downloading: a.c ");
  ui.progress(Progress{.percent = 50});
  ui.progressdone();
  ui.alert(Alert{.text = "TROSK Warning -- careful"});
  EXPECT_EQ(c.shown(), "TROSK Warning -- careful\n");
}

TEST(ConsoleTest, AskuserThroughTheConsoleTrimsTheLine) {
  Console c("  Yes  \n");
  ConsoleFrontend ui(c.in, c.err);
  RunContext rc(ui);
  EXPECT_EQ(askuser(rc, "q? ", nullptr, "ynYN"), 3);
  EXPECT_EQ(askuser(rc, "q? ", nullptr, "ynYN"), 0);  // input ended: "no"
}

}  // namespace
}  // namespace trosk
