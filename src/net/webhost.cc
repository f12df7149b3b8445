#include "net/webhost.h"

#include <string_view>

#include "core/strutil.h"
#include "net/http.h"

namespace trosk {
namespace {

bool startswith(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && strncmpi(text.data(), prefix.data(), prefix.size()) == 0;
}

}  // namespace

int parsehost(const char* text, WebHost* host) {
  std::string_view rest(text);
  if (startswith(rest, "https://")) {
    rest.remove_prefix(8);
    host->secure = true;
    host->port = kDefaultTlsPort;
  } else if (startswith(rest, "http://")) {
    rest.remove_prefix(7);
  }
  std::size_t slash = rest.find('/');
  std::string_view authority = rest.substr(0, slash);
  if (slash != std::string_view::npos) {
    std::string_view base = rest.substr(slash);
    while (!base.empty() && base.back() == '/') base.remove_suffix(1);
    host->base.assign(base);
  }
  std::size_t colon = authority.rfind(':');
  if (colon != std::string_view::npos) {
    std::string_view digits = authority.substr(colon + 1);
    int port = 0;
    for (char c : digits) {
      if (c < '0' || c > '9' || port > 65535) return -1;
      port = port * 10 + (c - '0');
    }
    if (port <= 0 || port > 65535) return -1;
    host->port = port;
    authority = authority.substr(0, colon);
  }
  host->name.assign(authority);
  return host->name.empty() ? -1 : 0;
}

bool loopbackhost(const WebHost& host) {
  std::string_view name = host.name;
  if (name.size() == 9 && startswith(name, "localhost")) return true;
  if (!name.starts_with("127.")) return false;
  int dots = 0;
  for (char c : name) {
    if (c == '.') {
      ++dots;
    } else if (c < '0' || c > '9') {
      return false;
    }
  }
  return dots == 3;
}

}  // namespace trosk
