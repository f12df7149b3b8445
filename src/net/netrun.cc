#include "net/netrun.h"

#include <string>

#include "core/output.h"
#include "core/cause.h"
#include "net/tls-openssl.h"

namespace trosk {
namespace {

struct RunState {
  std::string cafile;
  bool owncredential = false;
  bool warned = false;
};

thread_local RunState state;

// Drops what a run leaves: its settings, the TLS context, a failure cause.
void resetrun() {
  state = RunState{};
  tls_endrun();
  clearcause();
}

}  // namespace

NetRun::NetRun(const char* cafile, bool owncredential) {
  resetrun();
  if (cafile) state.cafile = cafile;
  state.owncredential = owncredential;
}

NetRun::~NetRun() { resetrun(); }

const char* runcafile() { return state.cafile.empty() ? nullptr : state.cafile.c_str(); }

void checkplaintext(const WebHost& host) {
  if (!state.owncredential || state.warned || host.secure || loopbackhost(host)) return;
  state.warned = true;
  warnmsg("Your credential travels unencrypted to %s: use an https:// host", host.name.c_str());
}

}  // namespace trosk
