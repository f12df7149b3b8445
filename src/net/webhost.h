// A web host as the user writes it: name[:port], http://name[:port][/base]
// or https://name[:port][/base]. Every reader of a host text splits it here,
// so the port it names means the same to the fetch and to the run that
// chooses the port.
#pragma once

#include <string>

namespace trosk {

struct WebHost {
  std::string name;
  int port = 0;        // the port named; for https 443 when none is, else 0
  std::string base;    // prefixes every request path; no trailing '/'
  bool secure = false; // https: TLS with a verified certificate
};

// Splits the host text. Returns 0, or -1 when it names no host or a port
// outside 1-65535.
int parsehost(const char* text, WebHost* host);

// True when the host is on this machine's loopback address (localhost or
// 127.x.x.x), where nothing sent travels over a network.
bool loopbackhost(const WebHost& host);

}  // namespace trosk
