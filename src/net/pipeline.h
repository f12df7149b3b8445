// Requests sent ahead to a web host on one kept-open connection. A run that
// knows which host files it is about to read names them in order; each read
// of one of them finds its request sent and its reply on the way, with up to
// `depth` requests in flight. Replies are taken strictly in the order the run
// asks for its files, so what it prints and asks comes out as with one
// request at a time. The reply to a file the run no longer wants is read and
// dropped (a large one costs the connection instead); a server that does not
// keep its connections open gets one request at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "net/http.h"

namespace trosk {

struct NetRun;
struct RunContext;

class Pipeline {
 public:
  Pipeline() = default;
  // Closes the connection: replies still in flight are not wanted.
  ~Pipeline();
  Pipeline(const Pipeline&) = delete;
  Pipeline& operator=(const Pipeline&) = delete;

  // The request paths (as web_get sends them) the run expects to read, in
  // the order it will read them; `depth` requests at most are in flight.
  void plan(NetRun& net, int depth, std::vector<std::string> paths);
  // True when `path` is still to come among the planned ones.
  bool planned(const std::string& path) const;
  // Reads the planned `path` as web_get reads it (same arguments and
  // results; no header is kept). A connection the holder `kept` has for the
  // same peer is taken over; the pipeline keeps its own from then on.
  long long get(RunContext& rc, const char* path, const char* host, int port, const char* extra,
                std::string* body, const char* file, int flags, int32_t* kept);

 private:
  std::size_t indexof(const std::string& path) const;
  bool dropbefore(RunContext& rc, std::size_t index, const char* host, int port,
                  const char* extra);
  bool connect(RunContext& rc, const char* host, int port, int flags, int32_t* kept);
  bool sendahead(RunContext& rc, std::size_t index, const char* host, int port, const char* extra,
                 int flags);
  void close(RunContext* rc, bool polite);

  NetRun* net_ = nullptr;
  int depth_ = 1;
  std::vector<std::string> paths_;
  std::unordered_map<std::string, std::vector<std::size_t>> places_;  // each path's indexes
  std::size_t next_ = 0;  // the first path not yet read or passed over
  std::size_t sent_ = 0;  // requests [next_, sent_) are in flight on the connection
  Link link_;
  Carry carry_;
  std::string peer_;       // what the connection serves: host, port and scheme
  bool keepsopen_ = false; // the server has kept this connection open after a reply
};

}  // namespace trosk
