// Why the last fetch or file write of a run failed, in words a user can act
// on: the layer that saw the failure (the name lookup, the connection, TLS,
// the reply, a local read or write) records it in the run's context, and a
// caller that ends the run prints it as the line before its own message and
// hands it to the front end with the error.
#pragma once

namespace trosk {

struct RunContext;

// Records the cause unless one is recorded already: the first failure seen
// is the root of the ones that follow from it. printf-style.
void setcause(RunContext& rc, const char* format, ...) __attribute__((format(printf, 2, 3)));
// Forgets the cause: every fetch, every write to the host, and every run
// begins with none.
void clearcause(RunContext& rc);
// Prints "Cause: ..." on the output when a cause is recorded.
void printcause(RunContext& rc);
// Prints the cause, then ends the run with errormsg(format, argument); the
// error carries the cause.
[[noreturn]] void causederror(RunContext& rc, const char* format, const char* argument);

}  // namespace trosk
