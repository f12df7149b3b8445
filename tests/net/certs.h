// A private certificate authority and a server certificate it signed, made
// with the openssl command in a scratch directory, for tests of TLS hosts.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace trosk::testing {

struct TestCertificates {
  // Makes ca.pem and server.pem with server.key in `dir`; the server
  // certificate names `names` (subjectAltName form: "IP:127.0.0.1,DNS:x").
  // `error` tells why when openssl failed.
  TestCertificates(const std::filesystem::path& dir, const std::string& names)
      : ca(dir / "ca.pem"), certificate(dir / "server.pem"), key(dir / "server.key") {
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "san.ext") << "subjectAltName=" << names << "\n";
    std::string d = "'" + dir.string() + "'";
    std::string ec = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
    std::string command =
        "openssl req -x509 -days 2 -subj '/CN=Trosk Test CA'" + ec + " -keyout " + d +
        "/ca.key -out " + d + "/ca.pem && openssl req -subj /CN=server" + ec + " -keyout " + d +
        "/server.key -out " + d + "/server.csr && openssl x509 -req -days 2 -in " + d +
        "/server.csr -CA " + d + "/ca.pem -CAkey " + d + "/ca.key -CAcreateserial -extfile " +
        d + "/san.ext -out " + d + "/server.pem";
    if (std::system((command + " >/dev/null 2>&1").c_str()) != 0) error = "openssl failed";
  }

  // The nginx directives that serve with the server certificate.
  std::string nginx() const {
    return "ssl_certificate " + certificate.string() + "; ssl_certificate_key " + key.string() +
           ";";
  }

  std::filesystem::path ca, certificate, key;
  std::string error;
};

}  // namespace trosk::testing
