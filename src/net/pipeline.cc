#include "net/pipeline.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/cause.h"
#include "core/runcontext.h"
#include "net/connection.h"
#include "net/netrun.h"
#include "net/socket-posix.h"

namespace trosk {
namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);
// Requests in flight are few bytes: so few that sending them never waits on
// a server that is itself waiting for its replies to be read.
constexpr std::size_t kMaxAheadBytes = std::size_t{8} << 10;

std::string peerof(const char* host, int port, int flags) {
  return std::string(host) + ":" + std::to_string(port) + ((flags & kWebTls) ? "/tls" : "");
}

}  // namespace

Pipeline::~Pipeline() { close(nullptr, false); }

void Pipeline::plan(NetRun& net, int depth, std::vector<std::string> paths) {
  close(nullptr, false);
  net_ = &net;
  depth_ = std::max(depth, 1);
  paths_ = std::move(paths);
  places_.clear();
  for (std::size_t i = 0; i < paths_.size(); ++i) places_[paths_[i]].push_back(i);
  next_ = sent_ = 0;
}

std::size_t Pipeline::indexof(const std::string& path) const {
  auto found = places_.find(path);
  if (found == places_.end()) return kNone;
  auto at = std::lower_bound(found->second.begin(), found->second.end(), next_);
  return at == found->second.end() ? kNone : *at;
}

bool Pipeline::planned(const std::string& path) const {
  return depth_ > 1 && indexof(path) != kNone;
}

void Pipeline::close(RunContext* rc, bool polite) {
  if (link_.sock > 0 && net_) {
    if (polite && rc && next_ == sent_) {
      web_close(*rc, *net_, link_.sock);
    } else {
      link_forget(*net_, link_.sock);
      sock_release(link_.sock);
    }
  }
  link_ = Link{};
  carry_.begin = carry_.end = 0;
  sent_ = next_;  // what was in flight went with the connection
  keepsopen_ = false;
}

// Replies in flight for files the run has passed over are read and
// dropped. False when that cost the connection.
bool Pipeline::dropbefore(RunContext& rc, std::size_t index, const char* host, int port,
                          const char* extra) {
  for (; next_ < std::min(index, sent_); ++next_) {
    WebOutcome dropped = web_reply(rc, *net_, link_, carry_, host, port, paths_[next_].c_str(),
                                   extra, nullptr, nullptr, nullptr, kWebDrop);
    if (!dropped.reusable) return false;
  }
  return true;
}

bool Pipeline::connect(RunContext& rc, const char* host, int port, int flags, int32_t* kept) {
  bool secure = flags & kWebTls;
  carry_.begin = carry_.end = 0;
  if (kept && *kept > 0) {
    // The holder keeps only a connection whose server left it open.
    Link found = link_find(*net_, *kept, host, port, secure);
    if (found.sock > 0) {
      link_ = found;
      *kept = 0;
      keepsopen_ = true;
      return true;
    }
  }
  link_ = link_open(rc, *net_, host, port, secure);
  keepsopen_ = false;
  if (link_.sock > 0) return true;
  link_ = Link{};
  return false;
}

// Sends the request for `index` unless it is in flight, and those after it
// up to the depth once the server is known to keep the connection open:
// when half the depth is left in flight, so that one write carries several.
bool Pipeline::sendahead(RunContext& rc, std::size_t index, const char* host, int port,
                         const char* extra, int flags) {
  std::size_t window = keepsopen_ ? static_cast<std::size_t>(depth_) : 1;
  if (sent_ > index && sent_ - index > window / 2) return true;
  std::size_t end = std::min(paths_.size(), index + window);
  std::string text;
  std::size_t last = sent_;
  for (; last < end; ++last) {
    std::string one = web_request(paths_[last].c_str(), host, port, extra, flags);
    if (last > index && text.size() + one.size() > kMaxAheadBytes) break;
    text += one;
  }
  if (text.empty()) return true;
  long long sent = link_send(rc, link_, text.data(), text.size(), net_->timeoutMs);
  int error = errno;
  if (sent == kSockCancelled) {
    setcause(rc, "the transfer was cancelled");
    return false;
  }
  if (sent < 0) {
    setcause(rc, "the request could not be sent to %s:%d: %s", host, port, std::strerror(error));
    return false;
  }
  sent_ = last;
  return true;
}

long long Pipeline::get(RunContext& rc, const char* path, const char* host, int port,
                        const char* extra, std::string* body, const char* file, int flags,
                        int32_t* kept) {
  clearcause(rc);
  if (!web_sendable(rc, path, extra)) {
    if (!(flags & kWebToFile) && body) body->clear();
    return -2;
  }
  std::size_t index = indexof(path);
  if (index == kNone) {
    setcause(rc, "%s was not planned for the connection to %s:%d", path, host, port);
    return -1;
  }
  std::string peer = peerof(host, port, flags);
  if (link_.sock > 0 && peer != peer_) close(&rc, false);
  if (link_.sock > 0 && !dropbefore(rc, index, host, port, extra)) {
    close(&rc, false);
    clearcause(rc);
  }
  next_ = index;
  sent_ = std::max(sent_, next_);
  for (bool retried = false;; retried = true) {
    bool fresh = link_.sock <= 0;
    if (fresh && !connect(rc, host, port, flags, kept)) return rc.cancelled() ? kWebCancelled : -1;
    peer_ = peer;
    WebOutcome outcome;
    if (sendahead(rc, index, host, port, extra, flags)) {
      outcome = web_reply(rc, *net_, link_, carry_, host, port, path, extra, body, file, nullptr,
                          flags);
    } else {
      outcome.stale = !rc.cancelled();
      outcome.result = rc.cancelled() ? kWebCancelled : -1;
    }
    // A connection the server ended before this reply began, after it had
    // carried others, was closed at the server's limit: a GET may be sent again.
    if (outcome.stale && !fresh && !retried) {
      close(&rc, false);
      clearcause(rc);
      continue;
    }
    next_ = index + 1;
    if (outcome.reusable) {
      keepsopen_ = true;
    } else {
      close(&rc, outcome.clean);
    }
    return outcome.result;
  }
}

}  // namespace trosk
