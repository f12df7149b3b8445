// What the transport keeps for one run of the driver: the certificate
// authority file that -cacert names, and whether the run's credential is the
// user's own, which never goes unencrypted over a network without a warning
// (one per run). The run holds a NetRun for its length; nothing of it, the
// run's TLS context and the recorded failure cause included, outlives it.
#pragma once

#include "net/webhost.h"

namespace trosk {

struct NetRun {
  // `cafile` (may be null) is trusted besides the system's certificates.
  NetRun(const char* cafile, bool owncredential);
  ~NetRun();
  NetRun(const NetRun&) = delete;
  NetRun& operator=(const NetRun&) = delete;
};

// The -cacert file of the run in progress, or null.
const char* runcafile();

// Warns, once per run, when the user's own credential is about to go to a
// plain web host that is not on the loopback address.
void checkplaintext(const WebHost& host);

}  // namespace trosk
