// HTTP GET over TCP (IPv4), plain or over TLS: one request and its reply,
// delivered into memory or into a file that is replaced only when the body
// arrived whole, with VTP decoding on the fly. Every wait is bounded by the
// run's time-out, a reply that trickles in fails by the progress rule, and a
// run asked to stop ends its request within a fraction of a second.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "net/connection.h"

namespace trosk {

struct NetRun;
struct RunContext;

// Request flags.
inline constexpr int kWebKeepAlive = 0x01;   // HTTP/1.1 with "Host: "; the connection is kept
inline constexpr int kWebKeepHeader = 0x02;  // the reply header goes in front of the body
inline constexpr int kWebNegStatus = 0x04;   // a status >= 300 is returned as its negative
inline constexpr int kWebToFile = 0x08;      // the body goes to the named file
inline constexpr int kWebDecode = 0x10;      // a body in VTP armour is decoded
inline constexpr int kWebProgress = 0x40;    // progress for bodies over 1000 bytes
inline constexpr int kWebTls = 0x80;         // https: TLS with a verified certificate
inline constexpr int kWebInPlace = 0x100;    // with kWebToFile: see kFetchInPlace
inline constexpr int kWebDrop = 0x200;       // the reply is read to its end and dropped
// With kWebToFile: `body` receives a copy of what was written, up to
// kWebCopyLimit bytes (empty when the file is larger).
inline constexpr int kWebKeepCopy = 0x400;
inline constexpr std::size_t kWebCopyLimit = std::size_t{4} << 20;

inline constexpr std::size_t kMaxRequestPath = 1020;
inline constexpr std::size_t kMaxExtraHeader = 4096;
inline constexpr int kConnectTries = 60;
inline constexpr int kDefaultWebPort = 80;  // the one port "Host: " leaves unnamed
inline constexpr int kDefaultTlsPort = 443;  // the same over TLS
inline constexpr std::size_t kMaxMemoryBody = std::size_t{256} << 20;
// An error page is read and dropped, so that the connection stays usable,
// up to this size; a larger one costs the connection.
inline constexpr std::size_t kMaxErrorBody = std::size_t{1} << 20;

// The result of a request that the run's stop request ended.
inline constexpr int kWebCancelled = -3;

// Opens a plain connection to host:port (mode 1; the listening mode 0 is not
// provided). Time-outs and would-block failures are tried again, up to
// kConnectTries times one second apart and within the run's time-out.
// Returns the socket, or -1 (bad port, mode or socket), -2 (name not found),
// -3 (no connection) or kWebCancelled; a failure's cause is recorded.
int OpSock(RunContext& rc, NetRun& net, const char* host, int port, int mode);

// Fetches `path` from host:port, over TLS with kWebTls. With kWebKeepAlive
// and a holder `kept`, a connection in the holder (> 0) is used when it was
// opened for the same peer and a reusable one left there (else the holder is
// cleared); a kept connection that the server has closed is opened afresh
// once. Without kWebToFile the body goes to `body`, else to the file `file`;
// `header` (may be null) receives the reply header. `extra` (may be null)
// holds extra header lines. A failure's cause is recorded (core/cause.h). Returns the body length (the decoded length
// for VTP into memory, the header included with kWebKeepHeader in memory),
// or -1 (no connection, a malformed, cut, oversized or stalled reply, corrupt
// armour), -2 (path or extra text too long, file not writable),
// kWebCancelled (the run was asked to stop), or -status for a status >= 300
// with kWebNegStatus or kWebToFile.
long long web_get(RunContext& rc, NetRun& net, const char* path, const char* host, int port,
                  const char* extra, std::string* body, const char* file, std::string* header,
                  int flags, int32_t* kept);

// Sends the request on `sock` (a connection that web_get keeps, or a plain
// one), connected to host:port, and reads the reply; results as web_get.
long long read_socket(RunContext& rc, NetRun& net, const char* path, int sock, const char* host,
                      const char* extra, std::string* body, const char* file,
                      std::string* header, int flags, int port = kDefaultWebPort);

// The text of the GET request web_get sends for `path`.
std::string web_request(const char* path, const char* host, int port, const char* extra,
                        int flags);
// False, with the cause, when the path or the extra text is too long to send.
bool web_sendable(RunContext& rc, const char* path, const char* extra);

// What a connection received beyond the reply read last: when requests are
// sent ahead, the beginning of the next reply.
struct Carry {
  std::unique_ptr<char[]> data;
  std::size_t begin = 0;
  std::size_t end = 0;
  bool empty() const { return begin == end; }
};

// What reading one reply came to.
struct WebOutcome {
  long long result = -1;  // as web_get returns it
  bool stale = false;     // the connection ended before any reply byte: send again
  bool reusable = false;  // the connection may carry the next reply
  bool clean = false;     // the reply was read to its end
};

// Reads the reply to a request sent on `link` (results and flags as
// web_get; kWebDrop reads it only to drop it, its body up to
// kMaxErrorBody), beginning with the bytes `carry` holds and leaving there
// what follows the reply.
WebOutcome web_reply(RunContext& rc, NetRun& net, const Link& link, Carry& carry, const char* host,
                     int port, const char* path, const char* extra, std::string* body,
                     const char* file, std::string* header, int flags);

// Closes a connection politely: ends its TLS session, stops sending, reads
// and drops what the peer still sends (132 bytes at a time, within the
// time-out and kMaxErrorBody) until it closes, then releases the socket.
// Returns 0.
int web_close(RunContext& rc, NetRun& net, int sock);

}  // namespace trosk
