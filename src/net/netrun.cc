#include "net/netrun.h"

#include "core/output.h"
#include "net/socket-posix.h"

namespace trosk {

NetRun::~NetRun() {
  for (auto& [sock, link] : links) {
    link.tls.reset();
    sock_release(sock);
  }
}

void checkplaintext(RunContext& rc, NetRun& net, const WebHost& host) {
  if (!net.owncredential || net.warned || host.secure || loopbackhost(host)) return;
  net.warned = true;
  warnmsg(rc, "Your credential travels unencrypted to %s: use an https:// host", host.name.c_str());
}

}  // namespace trosk
