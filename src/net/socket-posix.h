// The operating system's TCP sockets (IPv4), reduced to what the HTTP client
// needs. Every wait is bounded by a time-out, and sockets never raise
// SIGPIPE; this is the only file that knows the system's socket calls.
#pragma once

#include <cstddef>
#include <cstdint>

namespace trosk {

struct RunContext;

// Failure results of the socket calls below. The system's reason is in
// errno when the call returns; kSockCancelled means the run was asked to
// stop while the call waited (every wait looks at the run's request at
// least every kSockWaitSliceMs).
inline constexpr int kSockFailed = -1;     // the call failed for good
inline constexpr int kSockRetry = -2;      // timed out or would block: worth trying again
inline constexpr int kSockTimeout = -2;    // nothing arrived in time
inline constexpr int kSockCancelled = -3;  // the run is to stop
inline constexpr int kSockWaitSliceMs = 100;

// Looks up an IPv4 address for `host` (a name or dotted quad); an empty host
// is any local address. Returns 0 and the address in network order, or the
// resolver's (non-zero) error code.
int sock_lookup(const char* host, uint32_t* address);
// A lookup's error code in the resolver's words.
const char* sock_lookupreason(int code);
// True when `host` is a dotted quad rather than a name.
bool sock_isaddress(const char* host);

// Creates a stream socket that never blocks the caller without a time-out.
// Returns the socket, or -1.
int sock_create();

// The waits below end early, with kSockCancelled, when `rc` (may be null)
// is asked to stop.

// Connects within `timeoutMs`. Returns 0, kSockRetry for a time-out or a
// would-block failure, kSockCancelled, or kSockFailed (refused, unreachable, ...).
int sock_connect(int sock, uint32_t address, int port, int timeoutMs, const RunContext* rc);

// Sends all `n` bytes, waiting at most `timeoutMs` for room each time.
// Returns n, kSockCancelled, or kSockFailed (the peer has gone, or the time
// ran out).
long long sock_send(int sock, const char* data, std::size_t n, int timeoutMs,
                    const RunContext* rc);

// Receives up to `n` bytes, waiting at most `timeoutMs` for the first.
// Returns the count, 0 when the peer has closed, kSockTimeout,
// kSockCancelled, or kSockFailed (reset or other error).
long long sock_recv(int sock, char* data, std::size_t n, int timeoutMs, const RunContext* rc);

// Stops sending: the peer sees the end of the request stream. Returns 0.
int sock_shutdown(int sock);
// Releases the socket. Returns 0.
int sock_release(int sock);

// Sleeps `ms` milliseconds. Returns 0, or kSockCancelled.
int sock_pause(int ms, const RunContext* rc);

}  // namespace trosk
