#include "net/tls-openssl.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <climits>

#include "core/cause.h"
#include "core/runcontext.h"
#include "net/socket-posix.h"

namespace trosk {
namespace {

using Clock = std::chrono::steady_clock;

TlsSession* sessionof(BIO* bio) { return static_cast<TlsSession*>(BIO_get_data(bio)); }

int leftms(const TlsSession& s) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(s.deadline - Clock::now());
  return static_cast<int>(std::clamp<long long>(left.count(), 0, INT_MAX));
}

// OpenSSL reads and writes the socket through these, so every wait has the
// call's bound and no write can raise SIGPIPE.
int bioread(BIO* bio, char* data, int n) {
  TlsSession* s = sessionof(bio);
  BIO_clear_retry_flags(bio);
  s->lastread = sock_recv(s->sock, data, static_cast<std::size_t>(n), leftms(*s), s->rc);
  if (s->lastread > 0) return static_cast<int>(s->lastread);
  return s->lastread == 0 ? 0 : -1;
}

int biowrite(BIO* bio, const char* data, int n) {
  TlsSession* s = sessionof(bio);
  BIO_clear_retry_flags(bio);
  return sock_send(s->sock, data, static_cast<std::size_t>(n), leftms(*s), s->rc) < 0 ? -1 : n;
}

long bioctrl(BIO*, int command, long, void*) { return command == BIO_CTRL_FLUSH ? 1 : 0; }

BIO_METHOD* socketmethod() {
  BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "trosk socket");
  if (m) {
    BIO_meth_set_read(m, bioread);
    BIO_meth_set_write(m, biowrite);
    BIO_meth_set_ctrl(m, bioctrl);
  }
  return m;
}

// OpenSSL's reason for the oldest error queued, and an empty queue after.
const char* lasterror() {
  const char* reason = ERR_reason_error_string(ERR_peek_error());
  ERR_clear_error();
  return reason ? reason : "unknown error";
}

// The certificate must name `host`: a dotted quad as an IP address, a name
// as a DNS name, which is also sent as the server name.
bool expecthost(SSL* ssl, const char* host) {
  if (sock_isaddress(host)) return X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), host) == 1;
  return SSL_set_tlsext_host_name(ssl, host) == 1 && SSL_set1_host(ssl, host) == 1;
}

void handshakecause(RunContext& rc, const TlsSession& s, int timeoutMs) {
  long verified = SSL_get_verify_result(s.ssl);
  if (verified != X509_V_OK) {
    bool unknown = verified == X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY ||
                   verified == X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT ||
                   verified == X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN;
    setcause(rc, "the certificate of %s is not trusted: %s%s", s.peer.c_str(),
             X509_verify_cert_error_string(verified),
             unknown ? " (-cacert FILE trusts a private certificate authority)" : "");
  } else if (s.lastread == kSockTimeout) {
    setcause(rc, "timed out: no TLS handshake with %s within %d seconds", s.peer.c_str(),
             timeoutMs / 1000);
  } else if (s.lastread == 0) {
    setcause(rc, "%s ended the connection in the TLS handshake (is it an https server?)",
             s.peer.c_str());
  } else {
    setcause(rc, "the TLS handshake with %s failed: %s", s.peer.c_str(), lasterror());
  }
  ERR_clear_error();
}

}  // namespace

struct TlsContext {
  struct ContextFree {
    void operator()(SSL_CTX* c) const { SSL_CTX_free(c); }
  };
  struct MethodFree {
    void operator()(BIO_METHOD* m) const { BIO_meth_free(m); }
  };
  std::unique_ptr<SSL_CTX, ContextFree> ssl;
  std::unique_ptr<BIO_METHOD, MethodFree> socket;
};

void TlsContextFree::operator()(TlsContext* context) const { delete context; }

TlsSession::~TlsSession() { SSL_free(ssl); }

bool tls_ready(RunContext& rc, TlsContextHolder& context, const char* cafile) {
  if (context) return true;
  auto made = std::make_unique<TlsContext>();
  made->ssl.reset(SSL_CTX_new(TLS_client_method()));
  made->socket.reset(socketmethod());
  if (!made->ssl || !made->socket ||
      SSL_CTX_set_min_proto_version(made->ssl.get(), TLS1_2_VERSION) != 1) {
    setcause(rc, "TLS could not be set up: %s", lasterror());
    return false;
  }
  SSL_CTX_set_verify(made->ssl.get(), SSL_VERIFY_PEER, nullptr);
  SSL_CTX_set_default_verify_paths(made->ssl.get());
  if (cafile && SSL_CTX_load_verify_locations(made->ssl.get(), cafile, nullptr) != 1) {
    setcause(rc, "the certificate authority file %s cannot be read: %s", cafile, lasterror());
    return false;
  }
  ERR_clear_error();
  context.reset(made.release());
  return true;
}

std::unique_ptr<TlsSession> tls_open(RunContext& rc, TlsContext& context, int sock,
                                     const char* host, int port, int timeoutMs) {
  auto s = std::make_unique<TlsSession>();
  s->sock = sock;
  s->rc = &rc;
  s->peer = std::string(host) + ":" + std::to_string(port);
  s->ssl = SSL_new(context.ssl.get());
  BIO* bio = s->ssl ? BIO_new(context.socket.get()) : nullptr;
  if (!bio) {
    setcause(rc, "TLS could not be set up: %s", lasterror());
    return nullptr;
  }
  BIO_set_data(bio, s.get());
  BIO_set_init(bio, 1);
  SSL_set_bio(s->ssl, bio, bio);
  if (!expecthost(s->ssl, host)) {
    setcause(rc, "TLS cannot check the host name %s: %s", host, lasterror());
    return nullptr;
  }
  s->deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  ERR_clear_error();
  if (SSL_connect(s->ssl) == 1) return s;
  handshakecause(rc, *s, timeoutMs);
  return nullptr;
}

long long tls_send(RunContext& rc, TlsSession& s, const char* data, std::size_t n, int timeoutMs) {
  s.rc = &rc;
  s.deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  ERR_clear_error();
  for (std::size_t sent = 0; sent < n;) {
    int part = static_cast<int>(std::min<std::size_t>(n - sent, INT_MAX));
    if (SSL_write(s.ssl, data + sent, part) != part) {
      ERR_clear_error();
      return rc.cancelled() ? kSockCancelled : kSockFailed;
    }
    sent += static_cast<std::size_t>(part);
  }
  return static_cast<long long>(n);
}

long long tls_recv(RunContext& rc, TlsSession& s, char* data, std::size_t n, int timeoutMs) {
  s.rc = &rc;
  s.deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  s.lastread = 1;
  ERR_clear_error();
  int got = SSL_read(s.ssl, data, static_cast<int>(std::min<std::size_t>(n, INT_MAX)));
  if (got > 0) return got;
  int error = SSL_get_error(s.ssl, got);
  if (error == SSL_ERROR_ZERO_RETURN) return 0;
  if (s.lastread == kSockTimeout || s.lastread == kSockCancelled) {
    ERR_clear_error();
    return s.lastread;
  }
  if (s.lastread == 0) {
    // Only the session's own end tells a whole reply from one cut short.
    setcause(rc, "the connection to %s ended without ending its TLS session", s.peer.c_str());
  } else if (error == SSL_ERROR_SSL) {
    setcause(rc, "TLS error from %s: %s", s.peer.c_str(), lasterror());
  }
  ERR_clear_error();
  return kSockFailed;
}

void tls_close(TlsSession& s) {
  s.rc = nullptr;  // the goodbye waits for nothing
  s.deadline = Clock::now();
  SSL_shutdown(s.ssl);
  ERR_clear_error();
}

}  // namespace trosk
