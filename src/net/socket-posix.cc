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

#include <cerrno>
#include <cstring>

namespace trosk {
namespace {

thread_local int lastError = 0;
thread_local int lastLookup = 0;

int failed() {
  lastError = errno;
  return kSockFailed;
}

// Waits until the socket is ready for `events`. Returns 1, 0 on time-out,
// or -1.
int waitfor(int sock, short events, int timeoutMs) {
  pollfd p{sock, events, 0};
  for (;;) {
    int n = poll(&p, 1, timeoutMs < 0 ? 0 : timeoutMs);
    if (n >= 0) return n;
    if (errno != EINTR) return -1;
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
  lastLookup = getaddrinfo(host, nullptr, &hints, &found);
  if (lastLookup != 0 || !found) return -1;
  *address = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
  freeaddrinfo(found);
  return 0;
}

const char* sock_lookupreason() { return gai_strerror(lastLookup); }

bool sock_isaddress(const char* host) {
  in_addr parsed;
  return inet_pton(AF_INET, host, &parsed) == 1;
}

int sock_create() {
  int sock = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (sock < 0) return failed();
  // Each request goes out in one send; waiting to merge it with more only adds latency.
  int on = 1;
  setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return sock;
}

int sock_connect(int sock, uint32_t address, int port, int timeoutMs) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<uint16_t>(port));
  to.sin_addr.s_addr = address;
  if (connect(sock, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0) return 0;
  if (errno != EINPROGRESS && errno != EINTR) {
    lastError = errno;
    return retryable(errno) ? kSockRetry : kSockFailed;
  }
  int ready = waitfor(sock, POLLOUT, timeoutMs);
  if (ready <= 0) {
    lastError = ready == 0 ? ETIMEDOUT : errno;
    return ready == 0 ? kSockRetry : kSockFailed;
  }
  int error = 0;
  socklen_t size = sizeof error;
  if (getsockopt(sock, SOL_SOCKET, SO_ERROR, &error, &size) != 0) return failed();
  if (error == 0) return 0;
  lastError = error;
  return retryable(error) ? kSockRetry : kSockFailed;
}

long long sock_send(int sock, const char* data, std::size_t n, int timeoutMs) {
  std::size_t sent = 0;
  while (sent < n) {
    ssize_t k = send(sock, data + sent, n - sent, MSG_NOSIGNAL);
    if (k > 0) {
      sent += static_cast<std::size_t>(k);
      continue;
    }
    if (k < 0 && errno == EINTR) continue;
    if (k < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      int ready = waitfor(sock, POLLOUT, timeoutMs);
      if (ready > 0) continue;
      lastError = ready == 0 ? ETIMEDOUT : errno;
      return kSockFailed;
    }
    return failed();
  }
  return static_cast<long long>(n);
}

long long sock_recv(int sock, char* data, std::size_t n, int timeoutMs) {
  for (;;) {
    // Data is usually waiting already; only an empty socket costs a wait.
    ssize_t k = recv(sock, data, n, 0);
    if (k >= 0) return k;
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return failed();
    int ready = waitfor(sock, POLLIN, timeoutMs);
    if (ready == 0) {
      lastError = ETIMEDOUT;
      return kSockTimeout;
    }
    if (ready < 0) return failed();
  }
}

int sock_shutdown(int sock) {
  shutdown(sock, SHUT_WR);
  return 0;
}

int sock_release(int sock) {
  close(sock);
  return 0;
}

int sock_error() { return lastError; }

int sock_pause(int ms) {
  timespec t{ms / 1000, (ms % 1000) * 1000000L};
  while (nanosleep(&t, &t) != 0 && errno == EINTR) {
  }
  return 0;
}

}  // namespace trosk
