// Every message, report and question of a run. Messages go to the run's
// output file "trosk_tmp.txt" (created afresh by the run's first message)
// and are echoed on the run's channel; reports and questions go through the
// run's front end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string_view>

namespace trosk {

struct RunContext;

inline constexpr const char* kOutputFileName = "trosk_tmp.txt";
inline constexpr std::size_t kReportSize = 131;  // prefix and message of a report
inline constexpr std::size_t kAlertSize = 255;
inline constexpr std::size_t kAnswerSize = 512;  // the shared answer buffer
inline constexpr std::size_t kTextAnswerMax = 131;

// Where a run's messages go.
struct OutputSink {
  struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
  };
  FILE* echo = nullptr;  // the channel messages are echoed on (the console's standard output)
  // False for programs that must write no files at all, such as the fuzz
  // targets: feeding them millions of inputs would fill the disk with their
  // parser messages.
  bool tofile = true;
  std::unique_ptr<FILE, FileCloser> file;  // open from the run's first message
};

// Appends the message to the output file (and echoes it). Returns 0, or -1
// when the output file cannot be opened.
int printmsg(RunContext& rc, const char* format, ...) __attribute__((format(printf, 2, 3)));

// The message on the run's echo channel only (traces and notes that the
// output file never held). Returns 0.
int echomsg(RunContext& rc, const char* format, ...) __attribute__((format(printf, 2, 3)));

// "TROSK error -- " and the message in an alert; then ends the run by
// throwing RunError with code -1. The format takes at most one text argument.
[[noreturn]] void errormsg(RunContext& rc, const char* format, const char* argument = nullptr);
// errormsg with the cause of the failure behind it, which the alert shows
// beside the report and the RunError carries.
[[noreturn]] void fatalerror(RunContext& rc, const char* format, const char* argument,
                             std::string_view cause);
// "TROSK Warning -- " and the message in an alert; returns 0.
int warnmsg(RunContext& rc, const char* format, const char* argument = nullptr);

// Shows `text` (cut to 255 characters); a negative code then ends the run
// (RunError with that code). Returns 0.
int alertbox(RunContext& rc, const char* text, int code);

// Asks the question. Letters select the button form and the result is the
// 1-based position of the answer's first character in `letters` (-1 when it
// is not there); without letters the result is 1. An empty answer gives 0.
// A non-null `answer` (at least kTextAnswerMax + 1 bytes) receives the
// trimmed text.
int askuser(RunContext& rc, const char* question, char* answer, const char* letters);

// Results of askuser for the letters "ynYNAXd" (an empty answer gives
// kAnswerNone, a letter outside the list -1).
inline constexpr int kAnswerNone = 0;
inline constexpr int kAnswerAllYes = 5;  // "A": yes to this and every later question
inline constexpr int kAnswerAllNo = 6;   // "X": no to this and every later question
inline constexpr int kAnswerDiff = 7;    // "d": show the differences, then ask again
// Every caller reads an answer by its lowest bit: odd is yes (y, Y, A, and an
// answer that is none of the letters).
inline bool answeredyes(int answer) { return (answer & 1) != 0; }

// Closes the output file: nothing more goes into what the run printed.
void closeoutput(RunContext& rc);

}  // namespace trosk
