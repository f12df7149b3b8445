// Why the last fetch or file write of this thread failed, in words a user can
// act on: the layer that saw the failure (the name lookup, the connection,
// TLS, the reply, a local read or write) records it, and a caller that ends
// the run prints it as the line before its own message.
#pragma once

#include <string>

namespace trosk {

// Records the cause unless one is recorded already: the first failure seen
// is the root of the ones that follow from it. printf-style.
void setcause(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Forgets the cause: every fetch, every write to the host, and every run
// begins with none.
void clearcause();
// The recorded cause, empty when none.
const std::string& lastcause();
// Prints "Cause: ..." on the output channel when a cause is recorded.
void printcause();
// Prints the cause, then ends the run with errormsg(format, argument).
[[noreturn]] void causederror(const char* format, const char* argument);

}  // namespace trosk
