#include "net/http.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>

#include "core/cause.h"
#include "core/output.h"
#include "core/progress.h"
#include "core/runcontext.h"
#include "core/timer.h"
#include "net/connection.h"
#include "net/netrun.h"
#include "net/reply.h"
#include "net/socket-posix.h"
#include "net/webbody.h"

namespace trosk {

namespace {

constexpr std::size_t kReadSize = std::size_t{64} << 10;
constexpr std::size_t kDrainRead = 132;
constexpr int kRetryPauseMs = 1000;
constexpr int kReplyShown = 1000;  // bytes of an unframed reply in the debug report

// Milliseconds since `start` (a timerread value; the clock counts 20 us).
int elapsedms(RunContext& rc, int32_t start) { return (timerread(rc) - start) / 50; }

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

}  // namespace

std::string web_request(const char* path, const char* host, int port, const char* extra,
                        int flags) {
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

bool web_sendable(RunContext& rc, const char* path, const char* extra) {
  if (std::strlen(path) <= kMaxRequestPath && (!extra || std::strlen(extra) <= kMaxExtraHeader)) {
    return true;
  }
  setcause(rc, "the request for %.60s... is too long to send", path);
  return false;
}

namespace {

// The progress rule of a reply: from its first byte on, each
// progressBytes must arrive within progressWindowMs of the last.
struct Pace {
  explicit Pace(const NetRun& n) : net(n) {}
  using Clock = std::chrono::steady_clock;
  const NetRun& net;
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
  bool over() const { return elapsed() >= net.progressWindowMs; }
  // The longest wait for the next bytes.
  int wait() const { return std::clamp(net.progressWindowMs - elapsed(), 0, net.timeoutMs); }
  // Counts `n` bytes. False when the window closed before enough arrived.
  bool advance(uint64_t n) {
    since += n;
    if (since < static_cast<uint64_t>(net.progressBytes)) return !over();
    start();
    return true;
  }
};

// One reply being read: its framing, where the body goes, progress.
struct Transfer {
  Transfer(RunContext& rc, NetRun& net, const Link& link, const char* host, int port,
           const char* path, int flags, std::string* body, const char* file, std::string* header,
           int32_t start)
      : rc(rc), net(net), link(link), host(host), port(port), path(path), flags(flags),
        body(body), file(file), header(header), start(start), sink(rc) {}

  RunContext& rc;
  NetRun& net;
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
  uint64_t dropped = 0;

  WebOutcome run(Carry& carry);
  void cancelled();
  void readfailed(long long got, int error, bool replied, bool stalled);
  long long feedall(const char* data, std::size_t n, const ReplySink& into);
  bool onheader();
  bool take(const char* data, std::size_t n);
  bool report();
  WebOutcome finish();
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
  if ((flags & kWebDrop) || (status >= 300 && (flags & (kWebNegStatus | kWebToFile)))) {
    // An error page never lands in the destination file.
    discard = true;
    return true;
  }
  bool tofile = flags & kWebToFile;
  std::string* text = body ? body : &scratch;
  if (!tofile && reply.length > static_cast<int64_t>(kMaxMemoryBody)) {
    setcause(rc, "%s is larger than the %zu MiB read into memory", path, kMaxMemoryBody >> 20);
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
  if (tofile && body && (flags & kWebKeepCopy)) sink.keepcopy(body, kWebCopyLimit);
  if (!tofile && !(flags & kWebDecode) && reply.length > 0) {
    text->reserve(reply.header.size() + static_cast<std::size_t>(reply.length));
  }
  if ((flags & kWebKeepHeader) && !sink.put(reply.header.data(), reply.header.size())) {
    return false;
  }
  progress = (flags & kWebProgress) && reply.length > 1000;
  return true;
}

// Feeds what arrived up to the end of the reply. Returns the bytes used, or
// -1 when the reply failed.
long long Transfer::feedall(const char* data, std::size_t n, const ReplySink& into) {
  std::size_t used = 0;
  while (used < n && !reply.done()) {
    long long k = reply.feed(data + used, n - used, into);
    if (k < 0) {
      // A body that failed recorded its own cause; otherwise the reply is at fault.
      setcause(rc, "the reply from %s:%d is not valid HTTP or exceeds its bounds", host, port);
      return -1;
    }
    used += static_cast<std::size_t>(k);
    if (!opened && reply.headerdone() && !onheader()) return -1;
  }
  return static_cast<long long>(used);
}

// Reports the share received; false when the run is to stop.
bool Transfer::report() {
  if (rc.cancelled()) {
    cancelled();
    return false;
  }
  if (progress) progressbytes(rc, static_cast<long long>(reply.received), reply.length);
  return true;
}

void Transfer::cancelled() {
  setcause(rc, "the transfer was cancelled");
  failure = kWebCancelled;
}

void Transfer::readfailed(long long got, int error, bool replied, bool stalled) {
  if (got == kSockCancelled) {
    cancelled();
  } else if (stalled) {
    setcause(rc, "the transfer from %s:%d stalled: less than %d bytes arrived in %d seconds",
             host, port, net.progressBytes, net.progressWindowMs / 1000);
  } else if (got == kSockTimeout) {
    setcause(rc, "timed out: %s:%d sent nothing for %d seconds", host, port, net.timeoutMs / 1000);
  } else if (got == 0 && !reply.done()) {
    setcause(rc, "%s:%d closed the connection %s", host, port,
             replied ? "before the reply was complete" : "without a reply");
  } else if (got < 0) {
    setcause(rc, "the connection to %s:%d failed: %s%s", host, port, std::strerror(error),
             replied ? "" : " (no reply)");
  }
}

WebOutcome Transfer::run(Carry& carry) {
  if (!carry.data) carry.data = std::make_unique_for_overwrite<char[]>(kReadSize);
  bool stale = false;
  ReplySink into = [this](const char* data, std::size_t n) { return take(data, n); };
  // Bytes carried over from the connection's last read are this reply's first.
  bool replied = !carry.empty();
  Pace pace(net);
  pace.start();
  for (;;) {
    uint64_t fresh = 0;  // bytes this turn received
    if (carry.empty()) {
      int wait = replied ? pace.wait() : net.timeoutMs;
      long long got = link_recv(rc, link, carry.data.get(), kReadSize, wait);
      int error = errno;
      if (rc.verboseLevel) printmsg(rc, " read(%d,%lld)", timerread(rc) - start, got);
      if (got <= 0) {
        // A connection that ends before the first reply byte was closed idle.
        stale = !replied && got != kSockTimeout && got != kSockCancelled;
        if (got == 0) reply.finish();
        readfailed(got, error, replied, replied && got == kSockTimeout && pace.over());
        break;
      }
      if (!replied) pace.start();
      replied = true;
      carry.begin = 0;
      carry.end = static_cast<std::size_t>(got);
      fresh = static_cast<uint64_t>(got);
    }
    long long used = feedall(carry.data.get() + carry.begin, carry.end - carry.begin, into);
    if (used < 0) {
      carry.begin = carry.end = 0;  // the stream is out of step: nothing of it is kept
      break;
    }
    carry.begin += static_cast<std::size_t>(used);
    if (!report() || reply.done()) break;
    if (fresh > 0 && !pace.advance(fresh)) {
      readfailed(static_cast<long long>(fresh), 0, replied, true);
      break;
    }
  }
  WebOutcome end = finish();
  end.stale = stale;
  return end;
}

WebOutcome Transfer::finish() {
  WebOutcome outcome;
  outcome.clean = reply.done();
  outcome.reusable = reply.reusable();
  if (failure == kWebCancelled) {
    outcome.result = kWebCancelled;
  } else if (discard) {
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
  if (rc.verboseLevel) {
    if (reply.length < 0 && !sink.tofile()) {
      const std::string& text = body ? *body : scratch;
      int shown = static_cast<int>(std::min<std::size_t>(text.size(), kReplyShown));
      printmsg(rc, " Reply: %.*s\n", shown, text.data());
    }
    printmsg(rc, "\nread_socket(%d): %d -> %lld/%lld/%zu fp=%d dc=%d\n",
             timerread(rc) - start, reply.status, static_cast<long long>(reply.received),
             static_cast<long long>(reply.length), kReadSize, sink.tofile() ? 1 : 0, sink.vtp);
  }
  return outcome;
}

// The cause of an error status: what the user can do about it.
void statuscause(RunContext& rc, int status, const char* host, int port, const char* path,
                 const char* extra) {
  if (status == 401) {
    setcause(rc, extra ? "HTTP 401: %s:%d refused the credential (see -access)"
                   : "HTTP 401: %s:%d wants a credential (see -access)",
             host, port);
  } else if (status == 403) {
    setcause(rc, "HTTP 403: %s:%d forbids access to %s", host, port, path);
  } else if (status == 404) {
    setcause(rc, "HTTP 404: no such file on the host: %s:%d%s", host, port, path);
  } else {
    setcause(rc, "HTTP %d from %s:%d for %s", status, host, port, path);
  }
}

WebOutcome exchange(RunContext& rc, NetRun& net, const char* path, const Link& link,
                    const char* host, int port, const char* extra, std::string* body,
                    const char* file, std::string* header, int flags) {
  int32_t start = timerread(rc);
  WebOutcome outcome;
  if (!web_sendable(rc, path, extra)) {
    if (!(flags & kWebToFile) && body) body->clear();
    if (header) header->clear();
    outcome.result = -2;
    outcome.reusable = outcome.clean = true;  // nothing was sent
    return outcome;
  }
  std::string text = web_request(path, host, port, extra, flags);
  long long sent = link_send(rc, link, text.data(), text.size(), net.timeoutMs);
  int error = errno;
  if (rc.verboseLevel) {
    printmsg(rc, "write_socket(%d) t=%d: -> %lld [%30.30s]\n", link.sock,
             timerread(rc) - start, sent, text.c_str());
  }
  if (sent == kSockCancelled) {
    setcause(rc, "the transfer was cancelled");
    outcome.result = kWebCancelled;
    return outcome;
  }
  if (sent < 0) {
    setcause(rc, "the request could not be sent to %s:%d: %s", host, port, std::strerror(error));
    outcome.stale = true;
    return outcome;
  }
  Carry carry;
  outcome = web_reply(rc, net, link, carry, host, port, path, extra, body, file, header, flags);
  // Bytes beyond the one reply asked for: the stream is out of step.
  if (!carry.empty()) outcome.reusable = false;
  return outcome;
}

void closesock(RunContext& rc, NetRun& net, int sock, bool polite) {
  if (polite) {
    web_close(rc, net, sock);
  } else {
    link_forget(net, sock);
    sock_release(sock);
  }
}

// Why no connection was made: refused, timed out, or the system's reason.
void connectcause(RunContext& rc, const NetRun& net, const char* host, int port, int error) {
  if (error == ECONNREFUSED) {
    setcause(rc, "connection refused by %s:%d", host, port);
  } else if (error == ETIMEDOUT || error == EAGAIN || error == EWOULDBLOCK) {
    setcause(rc, "timed out: no connection to %s:%d within %d seconds", host, port,
             net.timeoutMs / 1000);
  } else {
    setcause(rc, "no connection to %s:%d: %s", host, port, std::strerror(error));
  }
}

}  // namespace

WebOutcome web_reply(RunContext& rc, NetRun& net, const Link& link, Carry& carry, const char* host,
                     int port, const char* path, const char* extra, std::string* body,
                     const char* file, std::string* header, int flags) {
  if (!(flags & kWebToFile) && body) body->clear();
  if (header) header->clear();
  Transfer transfer(rc, net, link, host, port, path, flags, body, file, header, timerread(rc));
  WebOutcome outcome = transfer.run(carry);
  if (outcome.result <= -300 && !(flags & kWebDrop)) {
    // The status is the reason, whatever went wrong with the error page after it.
    clearcause(rc);
    statuscause(rc, static_cast<int>(-outcome.result), host, port, path, extra);
  }
  return outcome;
}

int OpSock(RunContext& rc, NetRun& net, const char* host, int port, int mode) {
  int32_t start = timerread(rc);
  if (port <= 0 || port > 65535 || mode != 1) {
    setcause(rc, "no connection to %s: invalid port %d", host ? host : "", port);
    return -1;
  }
  uint32_t address = 0;
  int lookup = sock_lookup(host, &address);
  for (int tries = 1;; ++tries) {
    int sock = sock_create();
    int error = errno;
    if (rc.verboseLevel && tries == 1) {
      printmsg(rc, "OpSock(%s,%d,%d) -> %d\n", host ? host : "", port, mode, sock);
    }
    if (sock < 0) {
      setcause(rc, "no socket for a connection: %s", std::strerror(error));
      return -1;
    }
    if (lookup != 0) {
      sock_release(sock);
      setcause(rc, "host name not found: %s (%s)", host ? host : "", sock_lookupreason(lookup));
      return -2;
    }
    int left = net.timeoutMs - elapsedms(rc, start);
    int done = sock_connect(sock, address, port, std::max(left, 1), &rc);
    error = errno;
    if (done == 0) return sock;
    sock_release(sock);
    if (done == kSockCancelled) {
      setcause(rc, "the transfer was cancelled");
      return kWebCancelled;
    }
    // A failed connect leaves the socket unusable: each try takes a new one.
    left = net.timeoutMs - elapsedms(rc, start);
    if (done != kSockRetry || tries >= kConnectTries || left <= 0) {
      connectcause(rc, net, host, port, error);
      return -3;
    }
    if (rc.verboseLevel) {
      printmsg(rc, " sock err: %d  %d t=%d\n", -3, error, elapsedms(rc, start));
    }
    if (sock_pause(std::min(kRetryPauseMs, left), &rc) == kSockCancelled) {
      setcause(rc, "the transfer was cancelled");
      return kWebCancelled;
    }
  }
}

long long read_socket(RunContext& rc, NetRun& net, const char* path, int sock, const char* host,
                      const char* extra, std::string* body, const char* file,
                      std::string* header, int flags, int port) {
  clearcause(rc);
  return exchange(rc, net, path, link_of(net, sock), host, port, extra, body, file, header, flags)
      .result;
}

long long web_get(RunContext& rc, NetRun& net, const char* path, const char* host, int port,
                  const char* extra, std::string* body, const char* file, std::string* header,
                  int flags, int32_t* kept) {
  clearcause(rc);
  if (!web_sendable(rc, path, extra)) {
    // Refused before a connection is spent on it.
    if (!(flags & kWebToFile) && body) body->clear();
    return -2;
  }
  bool secure = flags & kWebTls;
  bool keep = (flags & kWebKeepAlive) && kept;
  Link link;
  if (keep && *kept > 0) {
    link = link_find(net, *kept, host, port, secure);
    if (link.sock < 0) closesock(rc, net, *kept, false);  // kept for another peer
  }
  bool reused = link.sock > 0;
  if (!reused) link = link_open(rc, net, host, port, secure);
  if (rc.verboseLevel) {
    printmsg(rc, "web_get(%s,%oo,%d) %d\n", path, static_cast<unsigned>(flags),
             kept ? *kept : 0, link.sock);
  }
  if (keep) *kept = 0;
  // A link that could not be opened carries the connection's own code,
  // which may equal kWebCancelled without any request to stop.
  if (link.sock < 0) return rc.cancelled() ? kWebCancelled : -1;
  WebOutcome outcome = exchange(rc, net, path, link, host, port, extra, body, file, header, flags);
  if (reused && outcome.stale) {
    // The server closed the kept connection while it was idle; a GET may
    // safely be sent again on a fresh one.
    closesock(rc, net, link.sock, false);
    clearcause(rc);
    link = link_open(rc, net, host, port, secure);
    if (link.sock < 0) return rc.cancelled() ? kWebCancelled : -1;
    outcome = exchange(rc, net, path, link, host, port, extra, body, file, header, flags);
  }
  if (keep && outcome.reusable) {
    *kept = link.sock;
  } else {
    closesock(rc, net, link.sock, outcome.clean);
  }
  return outcome.result;
}

int web_close(RunContext& rc, NetRun& net, int sock) {
  int32_t start = timerread(rc);
  link_forget(net, sock);
  sock_shutdown(sock);
  char scrap[kDrainRead];
  std::size_t drained = 0;
  while (drained <= kMaxErrorBody) {
    int left = net.timeoutMs - elapsedms(rc, start);
    if (left <= 0) break;
    long long got = sock_recv(sock, scrap, sizeof scrap, left, nullptr);
    if (got <= 0) break;
    drained += static_cast<std::size_t>(got);
  }
  sock_release(sock);
  return 0;
}

}  // namespace trosk
