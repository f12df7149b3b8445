#include "net/connection.h"

#include <memory>
#include <string>

#include "net/http.h"
#include "net/netrun.h"
#include "net/socket-posix.h"
#include "net/tls-openssl.h"

namespace trosk {
namespace {

std::string peerof(const char* host, int port) {
  return std::string(host) + ":" + std::to_string(port);
}

}  // namespace

Link link_open(RunContext& rc, NetRun& net, const char* host, int port, bool secure) {
  Link link;
  // The context first: a run that cannot verify certificates opens nothing.
  const char* cafile = net.cafile.empty() ? nullptr : net.cafile.c_str();
  if (secure && !tls_ready(rc, net.tls, cafile)) return Link{-3, nullptr};
  link.sock = OpSock(rc, net, host, port, 1);
  if (link.sock < 0) return link;
  NetRun::Registered entry{peerof(host, port), secure, nullptr};
  if (secure) {
    entry.tls = tls_open(rc, *net.tls, link.sock, host, port, net.timeoutMs);
    if (!entry.tls) {
      sock_release(link.sock);
      return Link{-3, nullptr};
    }
  }
  link.tls = entry.tls.get();
  net.links.insert_or_assign(link.sock, std::move(entry));
  return link;
}

Link link_find(NetRun& net, int sock, const char* host, int port, bool secure) {
  auto found = net.links.find(sock);
  if (found == net.links.end()) return Link{secure ? -1 : sock, nullptr};
  const NetRun::Registered& entry = found->second;
  if (entry.secure != secure || entry.peer != peerof(host, port)) return Link{-1, nullptr};
  return Link{sock, entry.tls.get()};
}

Link link_of(NetRun& net, int sock) {
  auto found = net.links.find(sock);
  return Link{sock, found == net.links.end() ? nullptr : found->second.tls.get()};
}

long long link_send(RunContext& rc, const Link& link, const char* data, std::size_t n,
                    int timeoutMs) {
  if (link.tls) return tls_send(rc, *link.tls, data, n, timeoutMs);
  return sock_send(link.sock, data, n, timeoutMs, &rc);
}

long long link_recv(RunContext& rc, const Link& link, char* data, std::size_t n, int timeoutMs) {
  if (link.tls) return tls_recv(rc, *link.tls, data, n, timeoutMs);
  return sock_recv(link.sock, data, n, timeoutMs, &rc);
}

void link_forget(NetRun& net, int sock) {
  auto found = net.links.find(sock);
  if (found == net.links.end()) return;
  if (found->second.tls) tls_close(*found->second.tls);
  net.links.erase(found);
}

}  // namespace trosk
