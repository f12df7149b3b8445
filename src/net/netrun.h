// What the transport keeps for one run: its connections (each registered
// with the peer it was opened for and its TLS session), the run's TLS
// context, the certificate authority file that -cacert names, whether the
// run's credential is the user's own (which never goes unencrypted over a
// network without a warning, one per run), and the bounds of its waits.
// The run owns one; nothing of it outlives the run.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>

#include "net/tls-openssl.h"
#include "net/webhost.h"

namespace trosk {

struct RunContext;

inline constexpr int kDefaultInflight = 8;

struct NetRun {
  NetRun() = default;
  // Closes what the run left open.
  ~NetRun();
  NetRun(const NetRun&) = delete;
  NetRun& operator=(const NetRun&) = delete;

  struct Registered {
    std::string peer;  // host:port
    bool secure = false;
    std::unique_ptr<TlsSession> tls;
  };

  std::string cafile;  // -cacert, trusted besides the system's certificates; empty: none
  bool owncredential = false;  // the run's credential is the user's own
  bool warned = false;
  // Longest wait, in milliseconds, for a connection or for the next bytes of
  // a reply; a stalled server fails the request after it.
  int timeoutMs = 60000;
  // The progress rule: from a reply's first byte on, every progressBytes of
  // it must arrive within progressWindowMs (30 s and 1 KiB; tests lower
  // them), or the request fails as stalled.
  int progressWindowMs = 30000;
  int progressBytes = 1024;
  // Requests a download keeps in flight to a web host that keeps its
  // connections open (-pipeline); 1 sends each after the reply before it.
  int inflight = kDefaultInflight;
  TlsContextHolder tls;  // made at the first https request; outlives every session
  std::unordered_map<int, Registered> links;  // by socket
};

// Warns, once per run, when the user's own credential is about to go to a
// plain web host that is not on the loopback address.
void checkplaintext(RunContext& rc, NetRun& net, const WebHost& host);

}  // namespace trosk
