#include "net/socket-posix.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "core/runcontext.h"

namespace trosk {
namespace {

using Clock = std::chrono::steady_clock;

bool stopping(const RunContext* rc) { return rc && rc->cancelled(); }

// Waits until the socket is ready for `events`, in slices, so that a run
// asked to stop is not kept waiting. Returns 1, 0 on time-out, -1 (errno),
// or kSockCancelled.
int waitfor(int sock, short events, int timeoutMs, const RunContext* rc) {
  pollfd p{sock, events, 0};
  auto end = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
  for (;;) {
    if (stopping(rc)) return kSockCancelled;
    // Rounded up: the wait never ends before its time.
    auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()).count();
    int slice = static_cast<int>(std::clamp<long long>(left, 0, kSockWaitSliceMs));
    int n = poll(&p, 1, slice);
    if (n > 0) return n;
    if (n < 0 && errno != EINTR) return -1;
    if (n == 0 && Clock::now() >= end) return 0;
  }
}

bool retryable(int error) { return error == ETIMEDOUT || error == EAGAIN || error == EWOULDBLOCK; }

}  // namespace

int sock_lookup(const char* host, uint32_t* address) {
  if (!host || !*host) {
    *address = htonl(INADDR_ANY);
    return 0;
  }
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  int code = getaddrinfo(host, nullptr, &hints, &found);
  if (code != 0) return code;
  if (!found) return EAI_NONAME;
  *address = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
  freeaddrinfo(found);
  return 0;
}

const char* sock_lookupreason(int code) { return gai_strerror(code); }

bool sock_isaddress(const char* host) {
  in_addr parsed;
  return inet_pton(AF_INET, host, &parsed) == 1;
}

int sock_create() {
  int sock = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (sock < 0) return kSockFailed;
  // Each request goes out in one send; waiting to merge it with more only adds latency.
  int on = 1;
  setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return sock;
}

int sock_connect(int sock, uint32_t address, int port, int timeoutMs, const RunContext* rc) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<uint16_t>(port));
  to.sin_addr.s_addr = address;
  if (connect(sock, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0) return 0;
  if (errno != EINPROGRESS && errno != EINTR) return retryable(errno) ? kSockRetry : kSockFailed;
  int ready = waitfor(sock, POLLOUT, timeoutMs, rc);
  if (ready == kSockCancelled) return kSockCancelled;
  if (ready <= 0) {
    if (ready == 0) errno = ETIMEDOUT;
    return ready == 0 ? kSockRetry : kSockFailed;
  }
  int error = 0;
  socklen_t size = sizeof error;
  if (getsockopt(sock, SOL_SOCKET, SO_ERROR, &error, &size) != 0) return kSockFailed;
  if (error == 0) return 0;
  errno = error;
  return retryable(error) ? kSockRetry : kSockFailed;
}

long long sock_send(int sock, const char* data, std::size_t n, int timeoutMs,
                    const RunContext* rc) {
  std::size_t sent = 0;
  while (sent < n) {
    ssize_t k = send(sock, data + sent, n - sent, MSG_NOSIGNAL);
    if (k > 0) {
      sent += static_cast<std::size_t>(k);
      continue;
    }
    if (k < 0 && errno == EINTR) continue;
    if (k < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      int ready = waitfor(sock, POLLOUT, timeoutMs, rc);
      if (ready > 0) continue;
      if (ready == kSockCancelled) return kSockCancelled;
      if (ready == 0) errno = ETIMEDOUT;
      return kSockFailed;
    }
    return kSockFailed;
  }
  return static_cast<long long>(n);
}

long long sock_recv(int sock, char* data, std::size_t n, int timeoutMs, const RunContext* rc) {
  for (;;) {
    // Data is usually waiting already; only an empty socket costs a wait.
    ssize_t k = recv(sock, data, n, 0);
    if (k >= 0) return k;
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return kSockFailed;
    int ready = waitfor(sock, POLLIN, timeoutMs, rc);
    if (ready == kSockCancelled) return kSockCancelled;
    if (ready == 0) {
      errno = ETIMEDOUT;
      return kSockTimeout;
    }
    if (ready < 0) return kSockFailed;
  }
}

int sock_shutdown(int sock) {
  shutdown(sock, SHUT_WR);
  return 0;
}

int sock_release(int sock) {
  int error = errno;  // closing must not lose the reason of a failure before it
  close(sock);
  errno = error;
  return 0;
}

int sock_pause(int ms, const RunContext* rc) {
  auto end = Clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    if (stopping(rc)) return kSockCancelled;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
    if (left <= 0) return 0;
    long slice = static_cast<long>(std::min<long long>(left, kSockWaitSliceMs));
    timespec t{slice / 1000, (slice % 1000) * 1000000L};
    while (nanosleep(&t, &t) != 0 && errno == EINTR) {
    }
  }
}

}  // namespace trosk
