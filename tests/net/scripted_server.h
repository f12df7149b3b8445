// A loopback HTTP server for tests, run by a thread: each accepted
// connection plays a script that can split, chunk, truncate, drop or stall
// its replies, and every request it reads is kept byte for byte.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace trosk::testing {

class ScriptedServer;

// One accepted connection, as the script sees it.
// A listening socket on a free loopback port; `at` receives its address.
inline int looplistener(int backlog, sockaddr_in* at) {
  int s = socket(AF_INET, SOCK_STREAM, 0);
  int on = 1;
  setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  *at = sockaddr_in{};
  at->sin_family = AF_INET;
  at->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(s, reinterpret_cast<sockaddr*>(at), sizeof *at);
  listen(s, backlog);
  socklen_t size = sizeof *at;
  getsockname(s, reinterpret_cast<sockaddr*>(at), &size);
  return s;
}

struct Conn {
  int fd;
  ScriptedServer* server;

  // Reads one request up to its blank line and records it. False when the
  // client closed (or sent nothing for 5 s) before a whole request; the
  // bytes of a part request are recorded all the same.
  bool readrequest();
  // Reads whatever follows until the client closes; it is added to the last
  // recorded request (a well-formed client sends nothing more).
  void readrest();
  void send(std::string_view bytes) {
    while (!bytes.empty()) {
      ssize_t k = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (k <= 0) return;
      bytes.remove_prefix(static_cast<std::size_t>(k));
    }
  }
  // Sends the bytes in pieces split at `cuts` (offsets), pausing between them
  // so that the client sees separate reads.
  void sendsplit(std::string_view bytes, const std::vector<std::size_t>& cuts) {
    std::size_t from = 0;
    for (std::size_t cut : cuts) {
      send(bytes.substr(from, cut - from));
      pause(30);
      from = cut;
    }
    send(bytes.substr(from));
  }
  void pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
  // Waits until the server is being stopped: a server that never answers.
  void stall();
  // Ends the connection with a reset instead of an orderly close.
  void reset() {
    linger hard{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
  }
};

class ScriptedServer {
 public:
  using Script = std::function<void(Conn&)>;

  explicit ScriptedServer(Script script) : script_(std::move(script)) {
    sockaddr_in at;
    listen_ = looplistener(16, &at);
    port = ntohs(at.sin_port);
    thread_ = std::thread([this] { serve(); });
  }
  ~ScriptedServer() {
    stopping = true;
    thread_.join();
    close(listen_);
  }
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  std::vector<std::string> requests() {
    std::lock_guard<std::mutex> hold(mutex_);
    return requests_;
  }
  int connections() const { return accepted.load(); }

  int port = 0;
  std::atomic<bool> stopping{false};
  std::atomic<int> accepted{0};

 private:
  friend struct Conn;

  void serve() {
    while (!stopping) {
      pollfd p{listen_, POLLIN, 0};
      if (poll(&p, 1, 20) <= 0) continue;
      int fd = accept(listen_, nullptr, nullptr);
      if (fd < 0) continue;
      int on = 1;
      setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
      ++accepted;
      Conn conn{fd, this};
      script_(conn);
      close(fd);
    }
  }
  void record(std::string request, bool append) {
    std::lock_guard<std::mutex> hold(mutex_);
    if (append && !requests_.empty()) {
      requests_.back() += request;
    } else {
      requests_.push_back(std::move(request));
    }
  }

  Script script_;
  int listen_ = -1;
  std::thread thread_;
  std::mutex mutex_;
  std::vector<std::string> requests_;
};

inline bool Conn::readrequest() {
  std::string request;
  char c;
  while (request.size() < 65536) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 5000) <= 0 || recv(fd, &c, 1, 0) != 1) {
      // A stray byte after a request (a NUL, say) shows up as a request of its own.
      if (!request.empty()) server->record(std::move(request), false);
      return false;
    }
    request += c;
    std::size_t n = request.size();
    if (n >= 4 && request.compare(n - 4, 4, "\r\n\r\n") == 0) break;
    if (n >= 2 && request.compare(n - 2, 2, "\n\n") == 0) break;
  }
  server->record(std::move(request), false);
  return true;
}

inline void Conn::readrest() {
  std::string rest;
  char block[4096];
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 5000) <= 0) break;
    ssize_t k = recv(fd, block, sizeof block, 0);
    if (k <= 0) break;
    rest.append(block, static_cast<std::size_t>(k));
  }
  server->record(std::move(rest), true);
}

inline void Conn::stall() {
  while (!server->stopping) pause(10);
}

}  // namespace trosk::testing
