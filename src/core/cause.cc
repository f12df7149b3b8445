#include "core/cause.h"

#include <cstdarg>
#include <cstdio>

#include "core/output.h"
#include "core/runcontext.h"

namespace trosk {
namespace {

constexpr std::size_t kMaxCause = 400;

}  // namespace

void setcause(RunContext& rc, const char* format, ...) {
  if (!rc.cause.empty()) return;
  char text[kMaxCause];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  // Names in it may come from a host: no control byte reaches the terminal.
  for (char* c = text; *c; ++c) {
    if (static_cast<unsigned char>(*c) < 0x20) *c = '?';
  }
  rc.cause = text;
}

void clearcause(RunContext& rc) { rc.cause.clear(); }

void printcause(RunContext& rc) {
  if (!rc.cause.empty()) printmsg(rc, "Cause: %s\n", rc.cause.c_str());
}

void causederror(RunContext& rc, const char* format, const char* argument) {
  printcause(rc);
  fatalerror(rc, format, argument, rc.cause);
}

}  // namespace trosk
