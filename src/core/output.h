// Every message, report and question of the system. Messages go to the
// output file "trosk_tmp.txt" (created afresh by the first message of a
// process) and are echoed on the channel they were printed to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace trosk {

inline constexpr const char* kOutputFileName = "trosk_tmp.txt";
inline constexpr std::size_t kReportSize = 131;  // prefix and message of a report
inline constexpr std::size_t kAlertSize = 255;
inline constexpr std::size_t kAnswerSize = 512;  // the shared answer buffer
inline constexpr std::size_t kTextAnswerMax = 131;

// Channels handed to printmsg. Null channels write only the output file.
extern FILE* outStream;
extern FILE* diagStream;
extern int16_t verboseLevel;

// Appends the message to the output file (and echoes it on `channel` when
// that is not null). Returns 0, or -1 when the output file cannot be opened.
int printmsg(FILE* channel, const char* format, ...) __attribute__((format(printf, 2, 3)));

// "TROSK error -- " and the message in an alert; ends the process with exit
// code -1. The format takes at most one text argument.
[[noreturn]] void errormsg(const char* format, const char* argument = nullptr);
// "TROSK Warning -- " and the message in an alert; returns 0.
int warnmsg(const char* format, const char* argument = nullptr);

// Shows `text` (cut to 255 characters); a negative code then ends the
// process with that exit code. Returns 0.
int alertbox(const char* text, int code);

// Asks the question. Letters select the button form and the result is the
// 1-based position of the answer's first character in `letters` (-1 when it
// is not there); without letters the result is 1. An empty answer gives 0.
// A non-null `answer` (at least kTextAnswerMax + 1 bytes) receives the
// trimmed text.
int askuser(const char* question, char* answer, const char* letters);

// Closes the output file, so that the next message creates it afresh.
void closeoutput();

}  // namespace trosk
