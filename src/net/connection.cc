#include "net/connection.h"

#include <memory>
#include <string>
#include <unordered_map>

#include "net/http.h"
#include "net/socket-posix.h"
#include "net/tls-openssl.h"

namespace trosk {
namespace {

struct Registered {
  std::string peer;  // host:port
  bool secure = false;
  std::unique_ptr<TlsSession> tls;
};

thread_local std::unordered_map<int, Registered> links;

std::string peerof(const char* host, int port) {
  return std::string(host) + ":" + std::to_string(port);
}

}  // namespace

Link link_open(const char* host, int port, bool secure) {
  Link link;
  // The context first: a run that cannot verify certificates opens nothing.
  if (secure && !tls_ready()) return Link{-3, nullptr};
  link.sock = OpSock(host, port, 1);
  if (link.sock < 0) return link;
  Registered entry{peerof(host, port), secure, nullptr};
  if (secure) {
    entry.tls = tls_open(link.sock, host, port, webTimeoutMs);
    if (!entry.tls) {
      sock_release(link.sock);
      return Link{-3, nullptr};
    }
  }
  link.tls = entry.tls.get();
  links.insert_or_assign(link.sock, std::move(entry));
  return link;
}

Link link_find(int sock, const char* host, int port, bool secure) {
  auto found = links.find(sock);
  if (found == links.end()) return Link{secure ? -1 : sock, nullptr};
  const Registered& entry = found->second;
  if (entry.secure != secure || entry.peer != peerof(host, port)) return Link{-1, nullptr};
  return Link{sock, entry.tls.get()};
}

Link link_of(int sock) {
  auto found = links.find(sock);
  return Link{sock, found == links.end() ? nullptr : found->second.tls.get()};
}

long long link_send(const Link& link, const char* data, std::size_t n, int timeoutMs) {
  if (link.tls) return tls_send(*link.tls, data, n, timeoutMs);
  return sock_send(link.sock, data, n, timeoutMs);
}

long long link_recv(const Link& link, char* data, std::size_t n, int timeoutMs) {
  if (link.tls) return tls_recv(*link.tls, data, n, timeoutMs);
  return sock_recv(link.sock, data, n, timeoutMs);
}

void link_forget(int sock) {
  auto found = links.find(sock);
  if (found == links.end()) return;
  if (found->second.tls) tls_close(*found->second.tls);
  links.erase(found);
}

}  // namespace trosk
