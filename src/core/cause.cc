#include "core/cause.h"

#include <cstdarg>
#include <cstdio>

#include "core/output.h"

namespace trosk {
namespace {

constexpr std::size_t kMaxCause = 400;

thread_local std::string cause;

}  // namespace

void setcause(const char* format, ...) {
  if (!cause.empty()) return;
  char text[kMaxCause];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  // Names in it may come from a host: no control byte reaches the terminal.
  for (char* c = text; *c; ++c) {
    if (static_cast<unsigned char>(*c) < 0x20) *c = '?';
  }
  cause = text;
}

void clearcause() { cause.clear(); }

const std::string& lastcause() { return cause; }

void printcause() {
  if (!cause.empty()) printmsg(outStream, "Cause: %s\n", cause.c_str());
}

void causederror(const char* format, const char* argument) {
  printcause();
  errormsg(format, argument);
}

}  // namespace trosk
