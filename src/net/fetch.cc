#include "net/fetch.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string_view>

#include "core/blockcopy.h"
#include "core/fileprobe.h"
#include "core/memory.h"
#include "core/output.h"
#include "core/progress.h"
#include "core/runcontext.h"
#include "core/strutil.h"
#include "core/timer.h"
#include "net/netrun.h"
#include "net/pipeline.h"
#include "net/webbody.h"
#include "net/webhost.h"
#include "xml/xmlparse.h"

namespace trosk {
namespace {

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};

// `path` below `root`, with exactly the separator the two leave out.
std::string joinpath(std::string_view root, const char* path) {
  std::string full(root);
  if (path[0] != '/' && path[0] != '\\' && !full.empty() && full.back() != '/') full += '/';
  full += path;
  return full;
}

int makedirs(RunContext& rc, const char* destfile) {
  std::filesystem::path parent = std::filesystem::path(destfile).parent_path();
  if (parent.empty()) return 0;
  std::error_code ec;
  std::filesystem::create_directories(parent, ec);
  if (!ec) return 0;
  setcause(rc, "cannot make the directory %s: %s", parent.c_str(), ec.message().c_str());
  return -2;
}

// Why a file of a directory host cannot be read (`error` is the errno):
// most often the host directory itself is not there.
void localcause(RunContext& rc, const char* host, const std::string& full, int error) {
  if (error != ENOENT) {
    setcause(rc, "cannot read %s: %s", full.c_str(), std::strerror(error));
  } else if (exists(rc, host) != -1) {
    setcause(rc, "the host directory does not exist: %s", host);
  } else {
    setcause(rc, "no such file on the host: %s", full.c_str());
  }
}

// A host that is a directory: the file is read through the same body
// handling as a download, so decoding and the safe replacement are alike.
// Each block counts as progress and may end the copy at the run's request.
long long readlocal(RunContext& rc, const char* host, const char* path, int flags,
                    std::string* body, const char* destfile) {
  std::string full = joinpath(host, path);
  std::unique_ptr<FILE, FileCloser> in(std::fopen(full.c_str(), "rb"));
  if (!in) {
    localcause(rc, host, full, errno);
    return -1;
  }
  bool tofile = flags & kFetchToFile;
  WebBody sink(rc);
  if (sink.open(body, tofile ? destfile : nullptr, flags & kFetchDecode, full.c_str(),
                flags & kFetchInPlace) != 0) {
    return -2;
  }
  if (tofile && body && (flags & kFetchKeepCopy)) sink.keepcopy(body, kFetchCopyLimit);
  long long size = tofile ? streamsize(in.get()) : -1;
  long long copied = 0;
  long long total = readblocks(in.get(), [&](const char* data, std::size_t n) {
    if (rc.cancelled()) return false;
    copied += static_cast<long long>(n);
    if (size > 0) progressbytes(rc, copied, size);
    return sink.take(data, n);
  });
  if (total == -2 && rc.cancelled()) {
    setcause(rc, "the transfer was cancelled");
    return kFetchCancelled;
  }
  if (total == -2) return sink.error;
  if (total < 0) {
    localcause(rc, host, full, errno);  // a directory, or a read error
    return -1;
  }
  if (int error = sink.close(); error != 0) return error;
  return tofile ? total : static_cast<long long>(sink.stored);
}

// File names may hold blanks, '%', '#' or '?', which a request line cannot
// carry as they are: such bytes travel percent-encoded.
std::string urlpath(const std::string& path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  encoded.reserve(path.size());
  for (unsigned char c : path) {
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                 std::strchr("/-._~!$&'()*+,;=:@", c) != nullptr;
    if (plain && c != '\0') {
      encoded += static_cast<char>(c);
    } else {
      encoded += '%';
      encoded += kHex[c >> 4];
      encoded += kHex[c & 15];
    }
  }
  return encoded;
}

// The path a request names for the host file `path`.
std::string requestpath(const WebHost& host, const char* path) {
  std::string full = joinpath(host.base, path);
  if (full.empty() || full[0] != '/') full.insert(0, 1, '/');
  return urlpath(full);
}

long long readweb(RunContext& rc, const Remote& remote, const char* path, int flags,
                  std::string* body, const char* destfile) {
  WebHost host;
  if (parsehost(remote.host, &host) != 0) return -1;
  if (!remote.net) {
    setcause(rc, "no transport for the web host %s", remote.host);
    return -1;
  }
  int port = remote.port > 0 ? remote.port : host.port > 0 ? host.port : kDefaultWebPort;
  std::string full = requestpath(host, path);
  int webflags = kWebNegStatus;
  if (flags & kFetchKeepHeader) webflags |= kWebKeepHeader;
  if (flags & kFetchToFile) webflags |= kWebToFile;
  if (flags & kFetchDecode) webflags |= kWebDecode;
  if (flags & kFetchInPlace) webflags |= kWebInPlace;
  if (flags & kFetchKeepCopy) webflags |= kWebKeepCopy;
  if (remote.connection) webflags |= kWebKeepAlive;
  if (rc.meter.enabled) webflags |= kWebProgress;
  if (host.secure) webflags |= kWebTls;
  checkplaintext(rc, *remote.net, host);
  if (remote.ahead && remote.ahead->planned(full)) {
    return remote.ahead->get(rc, full.c_str(), host.name.c_str(), port, remote.credential, body,
                             destfile, webflags, remote.connection);
  }
  return web_get(rc, *remote.net, full.c_str(), host.name.c_str(), port, remote.credential, body,
                 destfile, nullptr, webflags, remote.connection);
}

}  // namespace

long long getfile(RunContext& rc, const Remote& remote, const char* path, int flags,
                  std::string* body, const char* destfile) {
  int32_t start = timerread(rc);
  clearcause(rc);
  std::string scratch;
  bool tofile = flags & kFetchToFile;
  if (!body) body = &scratch;
  if (!tofile) destfile = nullptr;
  long long result = -1;
  if (!remote.host || !remote.host[0] || !path) {
    setcause(rc, "no host or no file to read");
    result = -1;
  } else if (tofile && !destfile) {
    setcause(rc, "no file to store %s in", path);
    result = -2;
  } else if (tofile && (flags & kFetchMakeDirs) && makedirs(rc, destfile) != 0) {
    result = -2;
  } else if (islocalpath(remote.host)) {
    result = readlocal(rc, remote.host, path, flags, body, destfile);
  } else {
    result = readweb(rc, remote, path, flags, body, destfile);
  }
  timerlog(rc, kTimeWebget, start, "webget");
  if (rc.verboseLevel) {
    printmsg(rc, "getfile(%s,%s,%o) -> %lld%s%s\n", remote.host ? remote.host : "",
             path ? path : "", static_cast<unsigned>(flags & ~kFetchKeepCopy), result, tofile ? " " : "",
             tofile ? destfile : "");
    if (result < 0) printcause(rc);
  }
  return result;
}

void planfetches(const Remote& remote, const std::vector<std::string>& paths) {
  WebHost host;
  if (!remote.ahead || !remote.net || !remote.host || islocalpath(remote.host) ||
      parsehost(remote.host, &host) != 0) {
    return;
  }
  std::vector<std::string> requests;
  requests.reserve(paths.size());
  for (const std::string& path : paths) {
    std::string full = requestpath(host, path.c_str());
    // One too long to send is refused when it is read, as without a plan.
    if (full.size() <= kMaxRequestPath) requests.push_back(std::move(full));
  }
  remote.ahead->plan(*remote.net, remote.net->inflight, std::move(requests));
}

int getxml(RunContext& rc, const Remote& remote, const char* path, XmlDocument& doc) {
  doc.clear();
  std::string text;
  long long got = getfile(rc, remote, path, kFetchNegStatus, &text, nullptr);
  if (got < 0) return static_cast<int>(got);
  TextBuffer owned(static_cast<char*>(allocmem(text.size() + 1, "getxml")));
  if (!owned) return -2;
  std::memcpy(owned.get(), text.c_str(), text.size() + 1);
  XmlNode* root = xmlparsetext(rc, owned.get());
  if (!root) {
    setcause(rc, "%s is not valid XML", path);
    return -2;
  }
  // The tree points into the text: the document keeps both.
  doc.text = std::move(owned);
  doc.root.reset(root);
  copystr(path, doc.filename, static_cast<int>(sizeof doc.filename) - 1);
  return 1;
}

int freedoc(XmlDocument& doc) {
  doc.clear();
  return 0;
}

int closeconnection(RunContext& rc, NetRun& net, int32_t* connection) {
  if (!connection) return 0;
  if (*connection > 0) web_close(rc, net, *connection);
  *connection = 0;
  return 0;
}

}  // namespace trosk
