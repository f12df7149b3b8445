// A real nginx for tests and benchmarks: its own instance on a free loopback
// port, configured in a scratch directory, serving a host directory with
// optional Basic authorisation, optionally over TLS, and logging each
// request's connection number.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace trosk::testing {

class Nginx {
 public:
  // Starts nginx with its files in `workdir`, serving `root`; with a user,
  // every request needs that user's password; with `tls` (the certificate
  // directives, see certs.h) it speaks https. `error` tells why when it
  // could not start (nginx missing counts as a failure, never a skip).
  Nginx(const std::filesystem::path& workdir, const std::filesystem::path& root,
        const std::string& user = "", const std::string& password = "",
        const std::string& tls = "")
      : prefix_(workdir / "nginx"), tls_(tls) {
    std::string binary = findbinary();
    if (binary.empty()) {
      error = "nginx not found (install nginx-light; scripts/setup.sh does)";
      return;
    }
    std::filesystem::create_directories(prefix_ / "tmp");
    std::string auth;
    if (!user.empty()) {
      std::string hash = apr1(password);
      if (hash.empty()) {
        error = "openssl passwd -apr1 failed";
        return;
      }
      std::ofstream(prefix_ / "htpasswd") << user << ":" << hash << "\n";
      auth = "auth_basic \"trosk\"; auth_basic_user_file " + (prefix_ / "htpasswd").string() + ";";
    }
    for (int attempt = 0; attempt < 5 && pid_ <= 0; ++attempt) {
      port = freeport();
      writeconfig(root, auth);
      start(binary);
    }
    if (pid_ <= 0) error = "nginx did not start: " + slurp(prefix_ / "error.log");
  }
  ~Nginx() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status;
    waitpid(pid_, &status, 0);
  }
  Nginx(const Nginx&) = delete;
  Nginx& operator=(const Nginx&) = delete;

  std::string host() const { return "127.0.0.1:" + std::to_string(port); }

  // The access log, one "connection status uri" line per request.
  std::vector<std::string> accesslog() const {
    std::vector<std::string> lines;
    std::istringstream in(slurp(prefix_ / "access.log"));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  // Distinct connections among the first `requests` log lines, once that
  // many lines were written (nginx logs just after answering).
  int connectionsfor(std::size_t requests) const {
    std::vector<std::string> lines;
    for (int wait = 0; wait < 200; ++wait) {
      lines = accesslog();
      if (lines.size() >= requests) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::set<std::string> seen;
    for (const std::string& line : lines) seen.insert(line.substr(0, line.find(' ')));
    return static_cast<int>(seen.size());
  }

  int port = 0;
  std::string error;

 private:
  static std::string findbinary() {
    if (access("/usr/sbin/nginx", X_OK) == 0) return "/usr/sbin/nginx";
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path ? path : "");
    for (std::string dir; std::getline(dirs, dir, ':');) {
      std::string candidate = dir + "/nginx";
      if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return "";
  }

  static std::string apr1(const std::string& password) {
    std::string command = "openssl passwd -apr1 '" + password + "'";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return "";
    char line[256] = {};
    bool got = std::fgets(line, sizeof line, pipe) != nullptr;
    pclose(pipe);
    std::string hash = got ? line : "";
    while (!hash.empty() && (hash.back() == '\n' || hash.back() == '\r')) hash.pop_back();
    return hash;
  }

  static int freeport() {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr*>(&at), sizeof at);
    socklen_t size = sizeof at;
    getsockname(s, reinterpret_cast<sockaddr*>(&at), &size);
    close(s);
    return ntohs(at.sin_port);
  }

  static std::string slurp(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  void writeconfig(const std::filesystem::path& root, const std::string& auth) {
    std::string p = prefix_.string();
    std::ofstream conf(prefix_ / "nginx.conf");
    // The workers read the scratch directories, which only their owner may.
    if (geteuid() == 0) conf << "user root;\n";
    conf << "daemon off;\nworker_processes 1;\n"
         << "pid " << p << "/nginx.pid;\nerror_log " << p << "/error.log;\n"
         << "events { worker_connections 256; }\n"
         << "http {\n  log_format conn '$connection $status $request_uri';\n"
         << "  access_log " << p << "/access.log conn;\n"
         << "  client_body_temp_path " << p << "/tmp;\n  proxy_temp_path " << p << "/tmp;\n"
         << "  fastcgi_temp_path " << p << "/tmp;\n  uwsgi_temp_path " << p << "/tmp;\n"
         << "  scgi_temp_path " << p << "/tmp;\n"
         << "  default_type application/octet-stream;\n  keepalive_requests 1000000;\n"
         << "  server {\n    listen 127.0.0.1:" << port << (tls_.empty() ? "" : " ssl")
         << ";\n    root " << root.string() << ";\n    " << auth << "\n    " << tls_
         << "\n  }\n}\n";
  }

  void start(const std::string& binary) {
    std::string p = prefix_.string(), conf = p + "/nginx.conf", log = p + "/error.log";
    std::vector<std::string> args = {binary, "-p", p, "-c", conf, "-e", log};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid;
    if (posix_spawn(&pid, binary.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return;
    // Ready when it accepts a connection; gone when the port was taken.
    for (int wait = 0; wait < 250; ++wait) {
      int status;
      if (waitpid(pid, &status, WNOHANG) == pid) return;
      if (accepting()) {
        pid_ = pid;
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid, SIGKILL);
    int status;
    waitpid(pid, &status, 0);
  }

  bool accepting() const {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(static_cast<uint16_t>(port));
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = connect(s, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0;
    close(s);
    return ok;
  }

  std::filesystem::path prefix_;
  std::string tls_;
  pid_t pid_ = -1;
};

}  // namespace trosk::testing
