// The program's version and the banner line that opens every run.
#pragma once

namespace trosk {

struct RunContext;

inline constexpr float programVersion = 1.19f;

// Prints "Trosk -- Version 1.19" on the output. Returns 0.
int showbanner(RunContext& rc);
// Prints the help text: what the tool does, each option, then examples.
void showhelp(RunContext& rc);

}  // namespace trosk
