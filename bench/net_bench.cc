// Downloads 10,000 small files from nginx on loopback over one kept
// connection, into memory and into files, and measures wget -i fetching the
// same list in the same run. Prints both times and their ratio; exits 1 when
// trosk is the slower of the two.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "../tests/net/nginx.h"
#include "core/frontend.h"
#include "core/runcontext.h"
#include "net/fetch.h"
#include "net/netrun.h"

namespace {

namespace fs = std::filesystem;
using trosk::testing::Nginx;

constexpr int kFiles = 10000;
constexpr int kRounds = 3;

std::string pathof(int i) {
  return "/d" + std::to_string(i % 100) + "/f" + std::to_string(i) + ".txt";
}

std::size_t sizeof_file(int i) { return 200 + (static_cast<std::size_t>(i) * 37) % 600; }

// Best of kRounds runs, in seconds; -1 when a run failed.
double best(const std::function<bool()>& run) {
  double fastest = -1;
  for (int round = 0; round < kRounds; ++round) {
    auto start = std::chrono::steady_clock::now();
    bool ok = run();
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!ok) return -1;
    if (fastest < 0 || seconds < fastest) fastest = seconds;
  }
  return fastest;
}

bool trosk_fetch(trosk::RunContext& rc, trosk::NetRun& net, const std::string& host,
                 const fs::path& into) {
  int32_t connection = 0;
  trosk::Remote remote{host.c_str(), 0, nullptr, &connection, &net};
  std::string body;
  bool ok = true;
  for (int i = 0; i < kFiles && ok; ++i) {
    std::string path = pathof(i);
    long long got;
    if (into.empty()) {
      got = trosk::getfile(rc, remote, path.c_str(), 0, &body, nullptr);
    } else {
      std::string dest = (into / path.substr(1)).string();
      got = trosk::getfile(rc, remote, path.c_str(),
                           trosk::kFetchToFile | trosk::kFetchMakeDirs, nullptr, dest.c_str());
    }
    ok = got == static_cast<long long>(sizeof_file(i));
  }
  trosk::closeconnection(rc, net, &connection);
  if (!ok) std::fprintf(stderr, "trosk fetch failed\n");
  return ok;
}

bool wget_fetch(const fs::path& list, const fs::path& into) {
  std::string command = "wget -q --no-proxy -i " + list.string();
  command += into.empty() ? " -O /dev/null" : " -x -nH -P " + into.string();
  bool ok = std::system(command.c_str()) == 0;
  if (!ok) std::fprintf(stderr, "wget failed: %s\n", command.c_str());
  return ok;
}

void line(const char* what, double trosk, double wget) {
  std::printf("  %-18s trosk %8.3f s   wget %8.3f s   wget/trosk %.2f\n", what, trosk, wget,
              wget / trosk);
}

}  // namespace

int main() {
  char pattern[] = "/tmp/trosk-net-bench-XXXXXX";
  if (!mkdtemp(pattern)) return 2;
  fs::path scratch = pattern;
  fs::path root = scratch / "host";
  std::string filler(800, 'x');
  for (int i = 0; i < kFiles; ++i) {
    fs::path file = root / pathof(i).substr(1);
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary)
        .write(filler.data(), static_cast<std::streamsize>(sizeof_file(i)));
  }
  int status = 0;
  {
    Nginx nginx(scratch, root);
    if (!nginx.error.empty()) {
      std::fprintf(stderr, "%s\n", nginx.error.c_str());
      fs::remove_all(scratch);
      return 2;
    }
    fs::path list = scratch / "list.txt";
    {
      std::ofstream out(list);
      for (int i = 0; i < kFiles; ++i) out << "http://" << nginx.host() << pathof(i) << "\n";
    }
    trosk::QuietFrontend quiet;
    trosk::RunContext rc{quiet};
    rc.meter.enabled = false;
    trosk::NetRun net;
    fs::path tdir = scratch / "out-trosk", wdir = scratch / "out-wget";
    // A first pass warms the caches and shows that one connection carries all.
    bool warm = trosk_fetch(rc, net, nginx.host(), {});
    int connections = warm ? nginx.connectionsfor(kFiles) : -1;
    double tmem = best([&] { return trosk_fetch(rc, net, nginx.host(), {}); });
    double wmem = best([&] { return wget_fetch(list, {}); });
    double tfile = best([&] {
      fs::remove_all(tdir);
      return trosk_fetch(rc, net, nginx.host(), tdir);
    });
    double wfile = best([&] { fs::remove_all(wdir); return wget_fetch(list, wdir); });
    std::printf("net_bench: %d files of 200-799 bytes from nginx on loopback, one connection\n",
                kFiles);
    if (tmem < 0 || wmem < 0 || tfile < 0 || wfile < 0) {
      status = 2;
    } else {
      line("into memory:", tmem, wmem);
      line("into files:", tfile, wfile);
      if (tmem > wmem || tfile > wfile) status = 1;
    }
    std::printf("  trosk used %d connection(s) for %d files\n", connections, kFiles);
  }
  fs::remove_all(scratch);
  return status;
}
