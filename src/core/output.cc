#include "core/output.h"

#include <cstdarg>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "core/frontend.h"
#include "core/runerror.h"

namespace trosk {

FILE* outStream = nullptr;
FILE* diagStream = nullptr;
int16_t verboseLevel = 0;

namespace {

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
std::unique_ptr<FILE, FileCloser> outputFile;
bool outputFileKept = true;

// The answer of the last question stays here until the next one.
char answerBuffer[kAnswerSize];

void report(const char* prefix, const char* format, const char* argument, int code) {
  char text[kReportSize + 1];
  int used = std::snprintf(text, sizeof text, "%s", prefix);
  if (used < 0) used = 0;
  // The format carries at most one text argument, supplied by the caller.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
  std::snprintf(text + used, sizeof text - used, format, argument ? argument : "");
#pragma GCC diagnostic pop
  alertbox(text, code);
}

}  // namespace

int printmsg(FILE* channel, const char* format, ...) {
  if (!outputFile && outputFileKept) {
    outputFile.reset(std::fopen(kOutputFileName, "w"));
  }
  va_list args;
  if (outputFile) {
    va_start(args, format);
    std::vfprintf(outputFile.get(), format, args);
    va_end(args);
    std::fflush(outputFile.get());
  }
  if (channel) {
    va_start(args, format);
    std::vfprintf(channel, format, args);
    va_end(args);
    std::fflush(channel);
  }
  return outputFile || !outputFileKept ? 0 : -1;
}

void errormsg(const char* format, const char* argument) {
  report("TROSK error -- ", format, argument, -1);
  throw RunError(-1, "");  // not reached: the alert with a negative code ends the run
}

int warnmsg(const char* format, const char* argument) {
  report("TROSK Warning -- ", format, argument, 1);
  return 0;
}

int alertbox(const char* text, int code) {
  std::string_view shown(text, strnlen(text, kAlertSize));
  frontend().alert(shown);
  if (code < 0) throw RunError(code, std::string(shown));
  return 0;
}

int askuser(const char* question, char* answer, const char* letters) {
  frontend().ask(question, answerBuffer, sizeof answerBuffer, letters != nullptr);
  answerBuffer[sizeof answerBuffer - 1] = '\0';
  const char* start = answerBuffer;
  while (*start == ' ') ++start;
  std::size_t n = std::strlen(start);
  while (n > 0 && static_cast<unsigned char>(start[n - 1]) <= 32) --n;
  if (n == 0) return 0;
  if (answer) {
    std::size_t kept = n < kTextAnswerMax ? n : kTextAnswerMax;
    std::memcpy(answer, start, kept);
    answer[kept] = '\0';
  }
  if (!letters) return 1;
  const char* hit = std::strchr(letters, start[0]);
  return hit ? static_cast<int>(hit - letters) + 1 : -1;
}

void closeoutput() { outputFile.reset(); }

void keepoutputfile(bool keep) {
  outputFileKept = keep;
  if (!keep) outputFile.reset();
}

}  // namespace trosk
