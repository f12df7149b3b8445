// A web host as the user writes it: name[:port] or http://name[:port][/base].
// Every reader of a host text splits it here, so the port it names means the
// same to the fetch and to the run that chooses the port.
#pragma once

#include <string>

namespace trosk {

struct WebHost {
  std::string name;
  int port = 0;      // 0 when the text names none
  std::string base;  // prefixes every request path; no trailing '/'
};

// Splits the host text. Returns 0, or -1 when it names no host or a port
// outside 1-65535.
int parsehost(const char* text, WebHost* host);

}  // namespace trosk
