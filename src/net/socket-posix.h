// The operating system's TCP sockets (IPv4), reduced to what the HTTP client
// needs. Every wait is bounded by a time-out, and sockets never raise
// SIGPIPE; this is the only file that knows the system's socket calls.
#pragma once

#include <cstddef>
#include <cstdint>

namespace trosk {

// Failure results of the socket calls below.
inline constexpr int kSockFailed = -1;   // the call failed for good
inline constexpr int kSockRetry = -2;    // timed out or would block: worth trying again
inline constexpr int kSockTimeout = -2;  // nothing arrived in time

// Looks up an IPv4 address for `host` (a name or dotted quad); an empty host
// is any local address. Returns 0 and the address in network order, or -1.
int sock_lookup(const char* host, uint32_t* address);
// Why the last lookup of this thread failed, in the resolver's words.
const char* sock_lookupreason();
// True when `host` is a dotted quad rather than a name.
bool sock_isaddress(const char* host);

// Creates a stream socket that never blocks the caller without a time-out.
// Returns the socket, or -1.
int sock_create();

// Connects within `timeoutMs`. Returns 0, kSockRetry for a time-out or a
// would-block failure, or kSockFailed (refused, unreachable, ...).
int sock_connect(int sock, uint32_t address, int port, int timeoutMs);

// Sends all `n` bytes, waiting at most `timeoutMs` for room each time.
// Returns n, or kSockFailed (the peer has gone, or the time ran out).
long long sock_send(int sock, const char* data, std::size_t n, int timeoutMs);

// Receives up to `n` bytes, waiting at most `timeoutMs` for the first.
// Returns the count, 0 when the peer has closed, kSockTimeout, or
// kSockFailed (reset or other error).
long long sock_recv(int sock, char* data, std::size_t n, int timeoutMs);

// Stops sending: the peer sees the end of the request stream. Returns 0.
int sock_shutdown(int sock);
// Releases the socket. Returns 0.
int sock_release(int sock);

// The system's error number of the last failed call.
int sock_error();
// Sleeps `ms` milliseconds. Returns 0.
int sock_pause(int ms);

}  // namespace trosk
