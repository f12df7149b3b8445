#include "core/output.h"

#include <cstdarg>
#include <cstring>
#include <string>
#include <string_view>

#include "core/runcontext.h"
#include "core/runerror.h"

namespace trosk {

namespace {

std::string report(const char* prefix, const char* format, const char* argument) {
  char text[kReportSize + 1];
  int used = std::snprintf(text, sizeof text, "%s", prefix);
  if (used < 0) used = 0;
  // The format carries at most one text argument, supplied by the caller.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
  std::snprintf(text + used, sizeof text - used, format, argument ? argument : "");
#pragma GCC diagnostic pop
  return text;
}

std::string_view cut(const char* text) { return {text, strnlen(text, kAlertSize)}; }

}  // namespace

int printmsg(RunContext& rc, const char* format, ...) {
  OutputSink& out = rc.output;
  if (!out.file && out.tofile) out.file.reset(std::fopen(kOutputFileName, "w"));
  va_list args;
  if (out.file) {
    va_start(args, format);
    std::vfprintf(out.file.get(), format, args);
    va_end(args);
    std::fflush(out.file.get());
  }
  if (out.echo) {
    va_start(args, format);
    std::vfprintf(out.echo, format, args);
    va_end(args);
    std::fflush(out.echo);
  }
  return out.file || !out.tofile ? 0 : -1;
}

int echomsg(RunContext& rc, const char* format, ...) {
  FILE* echo = rc.output.echo;
  if (!echo) return 0;
  va_list args;
  va_start(args, format);
  std::vfprintf(echo, format, args);
  va_end(args);
  std::fflush(echo);
  return 0;
}

void errormsg(RunContext& rc, const char* format, const char* argument) {
  fatalerror(rc, format, argument, {});
}

void fatalerror(RunContext& rc, const char* format, const char* argument, std::string_view cause) {
  std::string text = report("TROSK error -- ", format, argument);
  std::string_view shown = cut(text.c_str());
  rc.frontend.alert(Alert{shown, cause, true});
  throw RunError(-1, std::string(shown), std::string(cause));
}

int warnmsg(RunContext& rc, const char* format, const char* argument) {
  std::string text = report("TROSK Warning -- ", format, argument);
  rc.frontend.alert(Alert{cut(text.c_str()), {}, false});
  return 0;
}

int alertbox(RunContext& rc, const char* text, int code) {
  std::string_view shown = cut(text);
  rc.frontend.alert(Alert{shown, {}, code < 0});
  if (code < 0) throw RunError(code, std::string(shown));
  return 0;
}

int askuser(RunContext& rc, const char* question, char* answer, const char* letters) {
  char* buffer = rc.answer;
  buffer[0] = '\0';
  rc.frontend.ask(question, buffer, kAnswerSize, letters);
  buffer[kAnswerSize - 1] = '\0';
  const char* start = buffer;
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

void closeoutput(RunContext& rc) { rc.output.file.reset(); }

}  // namespace trosk
