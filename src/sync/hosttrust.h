// Which host key a reader trusts, and the check of every catalogue and log
// it fetches against that key. The first run that meets a signed host shows
// the key's fingerprint and, on yes (or with -trust naming it), records it
// in the project list; from then on a file whose signature is missing,
// invalid or made by another key is refused before anything is changed.
#pragma once

#include <string>
#include <string_view>

#include "config/project.h"
#include "net/fetch.h"

namespace trosk {

struct RunContext;

// Reads the host's key from the project's directory `projectpath` ("/D/P")
// and decides whether to trust it: the key the run signs with itself,
// recorded in the entry, named by `trustprint`, or accepted at the question. Returns the trusted key (PEM),
// or "" for a host that is unsigned and trusted with no key (one line says
// so). Ends the run when the key is refused or missing where one is trusted.
std::string trusthost(RunContext& rc, const Remote& remote, const std::string& projectpath,
                      ProjectRun& project, const char* trustprint);

// Ends the run unless `bytes`, fetched from `path`, are signed by `signer`
// (the signatures are read from the file beside it).
void checksigned(RunContext& rc, const Remote& remote, const char* path, std::string_view bytes,
                 std::string_view signer);

}  // namespace trosk
