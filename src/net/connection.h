// The connections the HTTP client opens: a socket, and over it a TLS session
// when the host is https. A kept-open connection comes back only as a socket
// number (the holder a project's turn keeps), so each one opened here is
// registered in the run's transport with the peer it was opened for and its
// session: a request for another peer, or for https over a plain connection,
// never travels on it.
#pragma once

#include <cstddef>

namespace trosk {

struct NetRun;
struct RunContext;
struct TlsSession;

// A connection as one request uses it.
struct Link {
  int sock = -1;
  TlsSession* tls = nullptr;  // null for plain HTTP
};

// Opens a connection to host:port, with TLS when `secure`, and registers it.
// On failure the link's sock is negative as OpSock's result (-3 also when no
// trusted TLS session could be made) and the cause is recorded.
Link link_open(RunContext& rc, NetRun& net, const char* host, int port, bool secure);
// The link of the kept socket `sock` when it serves host:port and `secure`;
// otherwise sock is -1 and the caller closes `sock`. A socket not opened
// here counts as a plain connection.
Link link_find(NetRun& net, int sock, const char* host, int port, bool secure);
// The link of `sock`, whatever peer it serves.
Link link_of(NetRun& net, int sock);

// As sock_send and sock_recv, through the TLS session when there is one.
long long link_send(RunContext& rc, const Link& link, const char* data, std::size_t n,
                    int timeoutMs);
long long link_recv(RunContext& rc, const Link& link, char* data, std::size_t n, int timeoutMs);

// Ends the TLS session of `sock`, telling the peer, and forgets the socket;
// the caller closes the socket itself.
void link_forget(NetRun& net, int sock);

}  // namespace trosk
