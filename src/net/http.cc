#include "net/http.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>

#include "core/frontend.h"
#include "core/output.h"
#include "core/timer.h"
#include "net/connection.h"
#include "core/cause.h"
#include "net/reply.h"
#include "net/socket-posix.h"
#include "net/webbody.h"

namespace trosk {

int webTimeoutMs = 60000;
int webProgressWindowMs = 30000;
int webProgressBytes = 1024;

namespace {

constexpr std::size_t kReadSize = std::size_t{64} << 10;
constexpr std::size_t kDrainRead = 132;
constexpr int kRetryPauseMs = 1000;
constexpr int kReplyShown = 1000;  // bytes of an unframed reply in the debug report

// Milliseconds since `start` (a timerread value; the clock counts 20 us).
int elapsedms(int32_t start) { return (timerread() - start) / 50; }

// Text up to its first control byte; a tab counts as a blank.
void appendclean(std::string& out, const char* text) {
  for (; *text; ++text) {
    char c = *text == '\t' ? ' ' : *text;
    if (static_cast<unsigned char>(c) < 0x20) break;
    out += c;
  }
}

// Extra header lines, each ended with CR LF. Control bytes other than tabs
// are dropped and empty lines skipped, so the text can neither end the
// header early nor smuggle in a line of its own.
void appendextra(std::string& out, const char* extra) {
  std::size_t linestart = out.size();
  for (;; ++extra) {
    char c = *extra;
    if (c == '\n' || c == '\0') {
      if (out.size() > linestart) out += "\r\n";
      linestart = out.size();
      if (c == '\0') return;
    } else if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') {
      out += c;
    }
  }
}

std::string request(const char* path, const char* host, int port, const char* extra, int flags) {
  int defaultport = flags & kWebTls ? kDefaultTlsPort : kDefaultWebPort;
  std::string text = "GET ";
  appendclean(text, path);
  text += flags & kWebKeepAlive ? " HTTP/1.1\r\n" : " HTTP/1.0\r\n";
  if ((flags & kWebKeepAlive) || extra) {
    text += "Host: ";
    appendclean(text, host ? host : "");
    // HTTP/1.1 wants the port named whenever it is not the default one.
    if (port != defaultport) text += ":" + std::to_string(port);
    text += "\r\n";
  }
  if (extra) appendextra(text, extra);
  text += "\r\n";
  return text;
}

// False, with the cause, when the path or the extra text is too long to send.
bool sendable(const char* path, const char* extra) {
  if (std::strlen(path) <= kMaxRequestPath && (!extra || std::strlen(extra) <= kMaxExtraHeader)) {
    return true;
  }
  setcause("the request for %.60s... is too long to send", path);
  return false;
}

// The progress rule of a reply: from its first byte on, each
// webProgressBytes must arrive within webProgressWindowMs of the last.
struct Pace {
  using Clock = std::chrono::steady_clock;
  Clock::time_point mark;  // when the last milestone was passed
  uint64_t since = 0;      // bytes since then

  void start() {
    mark = Clock::now();
    since = 0;
  }
  int elapsed() const {
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - mark).count());
  }
  bool over() const { return elapsed() >= webProgressWindowMs; }
  // The longest wait for the next bytes.
  int wait() const { return std::clamp(webProgressWindowMs - elapsed(), 0, webTimeoutMs); }
  // Counts `n` bytes. False when the window closed before enough arrived.
  bool advance(uint64_t n) {
    since += n;
    if (since < static_cast<uint64_t>(webProgressBytes)) return !over();
    start();
    return true;
  }
};

// What one request on one connection came to.
struct Outcome {
  long long result = -1;
  bool stale = false;     // the connection ended before any reply byte: send again
  bool reusable = false;  // the connection may carry the next request
  bool clean = false;     // the reply was read to its end
};

// One reply being read: its framing, where the body goes, progress.
struct Transfer {
  Transfer(const Link& link, const char* host, int port, const char* path, int flags,
           std::string* body, const char* file, std::string* header, int32_t start)
      : link(link), host(host), port(port), path(path), flags(flags), body(body), file(file),
        header(header), start(start) {}

  Link link;
  const char* host;  // host, port and path name the peer and file in a failure's cause
  int port;
  const char* path;
  int flags;
  std::string* body;
  const char* file;
  std::string* header;
  int32_t start;

  WebReply reply;
  WebBody sink;
  std::string scratch;  // the memory body when the caller wants none
  long long failure = -1;
  bool opened = false;
  bool discard = false;  // an error status: the body is read and dropped
  bool progress = false;
  bool leftover = false;
  uint64_t dropped = 0;

  Outcome run();
  void readfailed(long long got, bool replied, bool stalled);
  bool feedall(const char* data, std::size_t n, const ReplySink& into);
  bool onheader();
  bool take(const char* data, std::size_t n);
  bool report();
  Outcome finish();
};

bool Transfer::take(const char* data, std::size_t n) {
  if (!discard) return sink.take(data, n);
  dropped += n;
  return dropped <= kMaxErrorBody;
}

bool Transfer::onheader() {
  opened = true;
  if (header) *header = reply.header;
  int status = reply.status;
  if (status >= 300 && (flags & (kWebNegStatus | kWebToFile))) {
    // An error page never lands in the destination file.
    discard = true;
    return true;
  }
  bool tofile = flags & kWebToFile;
  std::string* text = body ? body : &scratch;
  if (!tofile && reply.length > static_cast<int64_t>(kMaxMemoryBody)) {
    setcause("%s is larger than the %zu MiB read into memory", path, kMaxMemoryBody >> 20);
    return false;
  }
  if (tofile && !file) {
    failure = -2;
    return false;
  }
  if (sink.open(text, tofile ? file : nullptr, flags & kWebDecode, path, flags & kWebInPlace) != 0) {
    failure = -2;
    return false;
  }
  if (!tofile && !(flags & kWebDecode) && reply.length > 0) {
    text->reserve(reply.header.size() + static_cast<std::size_t>(reply.length));
  }
  if ((flags & kWebKeepHeader) && !sink.put(reply.header.data(), reply.header.size())) {
    return false;
  }
  progress = (flags & kWebProgress) && reply.length > 1000;
  return true;
}

bool Transfer::feedall(const char* data, std::size_t n, const ReplySink& into) {
  std::size_t used = 0;
  while (used < n) {
    long long k = reply.feed(data + used, n - used, into);
    if (k < 0) {
      // A body that failed recorded its own cause; otherwise the reply is at fault.
      setcause("the reply from %s:%d is not valid HTTP or exceeds its bounds", host, port);
      return false;
    }
    used += static_cast<std::size_t>(k);
    if (!opened && reply.headerdone() && !onheader()) return false;
    if (reply.done()) {
      leftover = used < n;  // bytes beyond the reply: the stream is out of step
      return true;
    }
  }
  return true;
}

// Shows the share received; false when the user cancelled.
bool Transfer::report() {
  if (!progress) return true;
  auto percent = static_cast<int>(reply.received * 100 / static_cast<uint64_t>(reply.length));
  if (frontend().progress(percent) >= 0) return true;
  setcause("the transfer was cancelled");
  return false;
}

void Transfer::readfailed(long long got, bool replied, bool stalled) {
  if (stalled) {
    setcause("the transfer from %s:%d stalled: less than %d bytes arrived in %d seconds", host,
             port, webProgressBytes, webProgressWindowMs / 1000);
  } else if (got == kSockTimeout) {
    setcause("timed out: %s:%d sent nothing for %d seconds", host, port, webTimeoutMs / 1000);
  } else if (got == 0 && !reply.done()) {
    setcause("%s:%d closed the connection %s", host, port,
             replied ? "before the reply was complete" : "without a reply");
  } else if (got < 0) {
    setcause("the connection to %s:%d failed: %s%s", host, port, std::strerror(sock_error()),
             replied ? "" : " (no reply)");
  }
}

Outcome Transfer::run() {
  bool stale = false;
  auto buffer = std::make_unique_for_overwrite<char[]>(kReadSize);
  ReplySink into = [this](const char* data, std::size_t n) { return take(data, n); };
  bool replied = false;
  Pace pace;
  for (;;) {
    int wait = replied ? pace.wait() : webTimeoutMs;
    long long got = link_recv(link, buffer.get(), kReadSize, wait);
    if (verboseLevel) printmsg(outStream, " read(%d,%lld)", timerread() - start, got);
    if (got <= 0) {
      // A connection that ends before the first reply byte was closed idle.
      stale = !replied && got != kSockTimeout;
      if (got == 0) reply.finish();
      readfailed(got, replied, replied && got == kSockTimeout && pace.over());
      break;
    }
    if (!replied) pace.start();
    replied = true;
    if (!feedall(buffer.get(), static_cast<std::size_t>(got), into)) break;
    if (!report() || reply.done()) break;
    if (!pace.advance(static_cast<uint64_t>(got))) {
      readfailed(got, replied, true);
      break;
    }
  }
  if (progress) frontend().progress(-1);
  Outcome end = finish();
  end.stale = stale;
  return end;
}

Outcome Transfer::finish() {
  Outcome outcome;
  outcome.clean = reply.done();
  outcome.reusable = reply.reusable() && !leftover;
  if (discard) {
    outcome.result = -reply.status;
  } else if (!opened || !reply.done()) {
    outcome.result = sink.error == -2 ? -2 : failure;
  } else if (int error = sink.close(); error != 0) {
    outcome.result = error;
  } else {
    outcome.result = sink.tofile() ? static_cast<long long>(reply.received)
                                   : static_cast<long long>(sink.stored);
  }
  // A failed body is no body: nothing half-arrived is handed over.
  if (outcome.result < 0 && body && !(flags & kWebToFile)) body->clear();
  if (verboseLevel) {
    if (reply.length < 0 && !sink.tofile()) {
      const std::string& text = body ? *body : scratch;
      int shown = static_cast<int>(std::min<std::size_t>(text.size(), kReplyShown));
      printmsg(outStream, " Reply: %.*s\n", shown, text.data());
    }
    printmsg(outStream, "\nread_socket(%d): %d -> %lld/%lld/%zu fp=%d dc=%d\n",
             timerread() - start, reply.status, static_cast<long long>(reply.received),
             static_cast<long long>(reply.length), kReadSize, sink.tofile() ? 1 : 0, sink.vtp);
  }
  return outcome;
}

// The cause of an error status: what the user can do about it.
void statuscause(int status, const char* host, int port, const char* path, const char* extra) {
  if (status == 401) {
    setcause(extra ? "HTTP 401: %s:%d refused the credential (see -access)"
                   : "HTTP 401: %s:%d wants a credential (see -access)",
             host, port);
  } else if (status == 403) {
    setcause("HTTP 403: %s:%d forbids access to %s", host, port, path);
  } else if (status == 404) {
    setcause("HTTP 404: no such file on the host: %s:%d%s", host, port, path);
  } else {
    setcause("HTTP %d from %s:%d for %s", status, host, port, path);
  }
}

Outcome exchange(const char* path, const Link& link, const char* host, int port,
                 const char* extra, std::string* body, const char* file, std::string* header,
                 int flags) {
  int32_t start = timerread();
  if (!(flags & kWebToFile) && body) body->clear();
  if (header) header->clear();
  Outcome outcome;
  if (!sendable(path, extra)) {
    outcome.result = -2;
    outcome.reusable = outcome.clean = true;  // nothing was sent
    return outcome;
  }
  std::string text = request(path, host, port, extra, flags);
  long long sent = link_send(link, text.data(), text.size(), webTimeoutMs);
  if (verboseLevel) {
    printmsg(outStream, "write_socket(%d) t=%d: -> %lld [%30.30s]\n", link.sock,
             timerread() - start, sent, text.c_str());
  }
  if (sent < 0) {
    setcause("the request could not be sent to %s:%d: %s", host, port, std::strerror(sock_error()));
    outcome.stale = true;
    return outcome;
  }
  Transfer transfer(link, host, port, path, flags, body, file, header, start);
  outcome = transfer.run();
  if (outcome.result <= -300) {
    // The status is the reason, whatever went wrong with the error page after it.
    clearcause();
    statuscause(static_cast<int>(-outcome.result), host, port, path, extra);
  }
  return outcome;
}

void closesock(int sock, bool polite) {
  if (polite) {
    web_close(sock);
  } else {
    link_forget(sock);
    sock_release(sock);
  }
}

// Why no connection was made: refused, timed out, or the system's reason.
void connectcause(const char* host, int port) {
  int error = sock_error();
  if (error == ECONNREFUSED) {
    setcause("connection refused by %s:%d", host, port);
  } else if (error == ETIMEDOUT || error == EAGAIN || error == EWOULDBLOCK) {
    setcause("timed out: no connection to %s:%d within %d seconds", host, port,
             webTimeoutMs / 1000);
  } else {
    setcause("no connection to %s:%d: %s", host, port, std::strerror(error));
  }
}

}  // namespace

int OpSock(const char* host, int port, int mode) {
  int32_t start = timerread();
  if (port <= 0 || port > 65535 || mode != 1) {
    setcause("no connection to %s: invalid port %d", host ? host : "", port);
    return -1;
  }
  uint32_t address = 0;
  bool found = sock_lookup(host, &address) == 0;
  for (int tries = 1;; ++tries) {
    int sock = sock_create();
    if (verboseLevel && tries == 1) {
      printmsg(outStream, "OpSock(%s,%d,%d) -> %d\n", host ? host : "", port, mode, sock);
    }
    if (sock < 0) {
      setcause("no socket for a connection: %s", std::strerror(sock_error()));
      return -1;
    }
    if (!found) {
      sock_release(sock);
      setcause("host name not found: %s (%s)", host ? host : "", sock_lookupreason());
      return -2;
    }
    int left = webTimeoutMs - elapsedms(start);
    int done = sock_connect(sock, address, port, std::max(left, 1));
    if (done == 0) return sock;
    sock_release(sock);
    // A failed connect leaves the socket unusable: each try takes a new one.
    left = webTimeoutMs - elapsedms(start);
    if (done != kSockRetry || tries >= kConnectTries || left <= 0) {
      connectcause(host, port);
      return -3;
    }
    if (verboseLevel) {
      printmsg(outStream, " sock err: %d  %d t=%d\n", -3, sock_error(), elapsedms(start));
    }
    sock_pause(std::min(kRetryPauseMs, left));
  }
}

long long read_socket(const char* path, int sock, const char* host, const char* extra,
                      std::string* body, const char* file, std::string* header, int flags,
                      int port) {
  clearcause();
  return exchange(path, link_of(sock), host, port, extra, body, file, header, flags).result;
}

long long web_get(const char* path, const char* host, int port, const char* extra,
                  std::string* body, const char* file, std::string* header, int flags,
                  int32_t* kept) {
  clearcause();
  if (!sendable(path, extra)) {
    // Refused before a connection is spent on it.
    if (!(flags & kWebToFile) && body) body->clear();
    return -2;
  }
  bool secure = flags & kWebTls;
  bool keep = (flags & kWebKeepAlive) && kept;
  Link link;
  if (keep && *kept > 0) {
    link = link_find(*kept, host, port, secure);
    if (link.sock < 0) closesock(*kept, false);  // kept for another peer
  }
  bool reused = link.sock > 0;
  if (!reused) link = link_open(host, port, secure);
  if (verboseLevel) {
    printmsg(outStream, "web_get(%s,%oo,%d) %d\n", path, static_cast<unsigned>(flags),
             kept ? *kept : 0, link.sock);
  }
  if (keep) *kept = 0;
  if (link.sock < 0) return -1;
  Outcome outcome = exchange(path, link, host, port, extra, body, file, header, flags);
  if (reused && outcome.stale) {
    // The server closed the kept connection while it was idle; a GET may
    // safely be sent again on a fresh one.
    closesock(link.sock, false);
    clearcause();
    link = link_open(host, port, secure);
    if (link.sock < 0) return -1;
    outcome = exchange(path, link, host, port, extra, body, file, header, flags);
  }
  if (keep && outcome.reusable) {
    *kept = link.sock;
  } else {
    closesock(link.sock, outcome.clean);
  }
  return outcome.result;
}

int web_close(int sock) {
  int32_t start = timerread();
  link_forget(sock);
  sock_shutdown(sock);
  char scrap[kDrainRead];
  std::size_t drained = 0;
  while (drained <= kMaxErrorBody) {
    int left = webTimeoutMs - elapsedms(start);
    if (left <= 0) break;
    long long got = sock_recv(sock, scrap, sizeof scrap, left);
    if (got <= 0) break;
    drained += static_cast<std::size_t>(got);
  }
  sock_release(sock);
  return 0;
}

}  // namespace trosk
