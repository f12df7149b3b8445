// HTTPS through OpenSSL: a TLS 1.2 or later session over a connected socket,
// the server's certificate verified against the system's trusted
// certificates (and the run's -cacert file) and checked to name the host.
// The run has one context, made on first use. A session reads and writes
// through the socket layer, each call bounded by the time it is given.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

struct ssl_st;

namespace trosk {

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
};

// Makes the run's context now (once per run). False, with the cause
// recorded, when it cannot be made (an unreadable -cacert file).
bool tls_ready();

// Makes a session over the connected `sock` to host:port within
// `timeoutMs`. Null, with the cause recorded, when the handshake fails or the
// certificate is not trusted for `host`.
std::unique_ptr<TlsSession> tls_open(int sock, const char* host, int port, int timeoutMs);

// As sock_send: n, or kSockFailed.
long long tls_send(TlsSession& s, const char* data, std::size_t n, int timeoutMs);
// As sock_recv: the count, 0 when the peer ended the session, kSockTimeout,
// or kSockFailed (a connection cut without the end of the session included).
long long tls_recv(TlsSession& s, char* data, std::size_t n, int timeoutMs);
// Tells the peer that the session ends, if the socket has room at once.
void tls_close(TlsSession& s);

// Drops the run's context; sessions still open keep what they use of it.
void tls_endrun();

}  // namespace trosk
