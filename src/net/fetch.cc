#include "net/fetch.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string_view>

#include "config/options.h"
#include "core/blockcopy.h"
#include "core/memory.h"
#include "core/output.h"
#include "core/strutil.h"
#include "core/fileprobe.h"
#include "core/timer.h"
#include "net/netrun.h"
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

int makedirs(const char* destfile) {
  std::filesystem::path parent = std::filesystem::path(destfile).parent_path();
  if (parent.empty()) return 0;
  std::error_code ec;
  std::filesystem::create_directories(parent, ec);
  if (!ec) return 0;
  setcause("cannot make the directory %s: %s", parent.c_str(), ec.message().c_str());
  return -2;
}

// Why a file of a directory host cannot be read (`error` is the errno):
// most often the host directory itself is not there.
void localcause(const char* host, const std::string& full, int error) {
  if (error != ENOENT) {
    setcause("cannot read %s: %s", full.c_str(), std::strerror(error));
  } else if (exists(host) != -1) {
    setcause("the host directory does not exist: %s", host);
  } else {
    setcause("no such file on the host: %s", full.c_str());
  }
}

// A host that is a directory: the file is read through the same body
// handling as a download, so decoding and the safe replacement are alike.
long long readlocal(const char* host, const char* path, int flags, std::string* body,
                    const char* destfile) {
  std::string full = joinpath(host, path);
  std::unique_ptr<FILE, FileCloser> in(std::fopen(full.c_str(), "rb"));
  if (!in) {
    localcause(host, full, errno);
    return -1;
  }
  bool tofile = flags & kFetchToFile;
  WebBody sink;
  if (sink.open(body, tofile ? destfile : nullptr, flags & kFetchDecode, full.c_str(),
                flags & kFetchInPlace) != 0) {
    return -2;
  }
  long long total =
      readblocks(in.get(), [&sink](const char* data, std::size_t n) { return sink.take(data, n); });
  if (total == -2) return sink.error;
  if (total < 0) {
    localcause(host, full, errno);  // a directory, or a read error
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

long long readweb(const Remote& remote, const char* path, int flags, std::string* body,
                  const char* destfile) {
  WebHost host;
  if (parsehost(remote.host, &host) != 0) return -1;
  int port = remote.port > 0 ? remote.port : host.port > 0 ? host.port : kDefaultWebPort;
  std::string full = joinpath(host.base, path);
  if (full.empty() || full[0] != '/') full.insert(0, 1, '/');
  int webflags = kWebNegStatus;
  if (flags & kFetchKeepHeader) webflags |= kWebKeepHeader;
  if (flags & kFetchToFile) webflags |= kWebToFile;
  if (flags & kFetchDecode) webflags |= kWebDecode;
  if (flags & kFetchInPlace) webflags |= kWebInPlace;
  if (remote.connection) webflags |= kWebKeepAlive;
  if (progressBar) webflags |= kWebProgress;
  if (host.secure) webflags |= kWebTls;
  checkplaintext(host);
  full = urlpath(full);
  return web_get(full.c_str(), host.name.c_str(), port, remote.credential, body, destfile,
                 nullptr, webflags, remote.connection);
}

}  // namespace

long long getfile(const Remote& remote, const char* path, int flags, std::string* body,
                  const char* destfile) {
  int32_t start = timerread();
  clearcause();
  std::string scratch;
  bool tofile = flags & kFetchToFile;
  if (!body) body = &scratch;
  if (!tofile) destfile = nullptr;
  long long result = -1;
  if (!remote.host || !remote.host[0] || !path) {
    setcause("no host or no file to read");
    result = -1;
  } else if (tofile && !destfile) {
    setcause("no file to store %s in", path);
    result = -2;
  } else if (tofile && (flags & kFetchMakeDirs) && makedirs(destfile) != 0) {
    result = -2;
  } else if (islocalpath(remote.host)) {
    result = readlocal(remote.host, path, flags, body, destfile);
  } else {
    result = readweb(remote, path, flags, body, destfile);
  }
  timerlog(kTimeWebget, start, "webget");
  if (verboseLevel) {
    printmsg(outStream, "getfile(%s,%s,%o) -> %lld%s%s\n", remote.host ? remote.host : "",
             path ? path : "", static_cast<unsigned>(flags), result, tofile ? " " : "",
             tofile ? destfile : "");
    if (result < 0) printcause();
  }
  return result;
}

int getxml(const Remote& remote, const char* path, XmlDocument& doc) {
  doc.clear();
  std::string text;
  long long got = getfile(remote, path, kFetchNegStatus, &text, nullptr);
  if (got < 0) return static_cast<int>(got);
  TextBuffer owned(static_cast<char*>(allocmem(text.size() + 1, "getxml")));
  if (!owned) return -2;
  std::memcpy(owned.get(), text.c_str(), text.size() + 1);
  XmlNode* root = xmlparsetext(owned.get());
  if (!root) {
    setcause("%s is not valid XML", path);
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

int closeconnection(int32_t* connection) {
  if (!connection) return 0;
  if (*connection > 0) web_close(*connection);
  *connection = 0;
  return 0;
}

}  // namespace trosk
