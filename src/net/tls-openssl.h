// HTTPS through OpenSSL: a TLS 1.2 or later session over a connected socket,
// the server's certificate verified against the system's trusted
// certificates (and the run's -cacert file) and checked to name the host.
// The run has one context, made on first use. A session reads and writes
// through the socket layer, each call bounded by the time it is given and
// ended early when the run is asked to stop.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

struct ssl_st;

namespace trosk {

struct RunContext;

// The run's TLS context: the trusted certificates and the way sessions reach
// their sockets.
struct TlsContext;
struct TlsContextFree {
  void operator()(TlsContext* context) const;
};
using TlsContextHolder = std::unique_ptr<TlsContext, TlsContextFree>;

struct TlsSession {
  TlsSession() = default;
  ~TlsSession();
  TlsSession(const TlsSession&) = delete;
  TlsSession& operator=(const TlsSession&) = delete;

  ssl_st* ssl = nullptr;
  int sock = -1;
  std::string peer;  // host:port, for the failure causes
  // When the socket waits of the call in progress must end.
  std::chrono::steady_clock::time_point deadline;
  long long lastread = 0;  // the last socket read: count, 0 closed, or its failure
  const RunContext* rc = nullptr;  // the run whose call is in progress
};

// Makes the run's context in `context` unless it holds one (once per run),
// trusting `cafile` (may be null) besides the system's certificates. False,
// with the cause recorded, when it cannot be made (an unreadable -cacert file).
bool tls_ready(RunContext& rc, TlsContextHolder& context, const char* cafile);

// Makes a session over the connected `sock` to host:port within
// `timeoutMs`. Null, with the cause recorded, when the handshake fails or the
// certificate is not trusted for `host`. The session must end before the
// context does.
std::unique_ptr<TlsSession> tls_open(RunContext& rc, TlsContext& context, int sock,
                                     const char* host, int port, int timeoutMs);

// As sock_send: n, kSockCancelled or kSockFailed.
long long tls_send(RunContext& rc, TlsSession& s, const char* data, std::size_t n, int timeoutMs);
// As sock_recv: the count, 0 when the peer ended the session, kSockTimeout,
// kSockCancelled, or kSockFailed (a connection cut without the end of the
// session included).
long long tls_recv(RunContext& rc, TlsSession& s, char* data, std::size_t n, int timeoutMs);
// Tells the peer that the session ends, if the socket has room at once.
void tls_close(TlsSession& s);

}  // namespace trosk
