// The SHA-256 of a stored file against sha256sum of the same cached file,
// in the same run: prints both times and the ratio (Trosk / sha256sum).
//
//   sha256_bench [file size in MiB, default 1024] [rounds, default 3]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "repo/sha256.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

bool makefile(const std::string& path, std::size_t mib) {
  std::mt19937_64 rng(1);
  std::vector<uint64_t> block((std::size_t{1} << 20) / sizeof(uint64_t));
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "wb"), std::fclose);
  if (!f) return false;
  for (std::size_t i = 0; i < mib; ++i) {
    for (auto& w : block) w = rng();
    std::fwrite(block.data(), sizeof(uint64_t), block.size(), f.get());
  }
  return true;
}

// sha256sum's digest of `path` and the time it took.
double sha256sum(const std::string& path, std::string* digest) {
  auto start = Clock::now();
  std::string command = "sha256sum '" + path + "'";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  char digits[65] = {};
  if (!pipe || std::fread(digits, 1, 64, pipe.get()) != 64) return -1;
  pipe.reset();
  *digest = digits;
  return seconds(start);
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1024;
  int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
  std::string path = (std::filesystem::temp_directory_path() / "trosk_sha256_bench.dat").string();
  if (!makefile(path, mib)) {
    std::perror(path.c_str());
    return 1;
  }
  std::string peer;
  sha256sum(path, &peer);  // the file is in the cache for both from here on
  double ours = 1e9, theirs = 1e9;
  for (int i = 0; i < rounds; ++i) {
    trosk::Sha256Digest digest;
    auto start = Clock::now();
    trosk::sha256file(path.c_str(), &digest);
    ours = std::min(ours, seconds(start));
    if (trosk::sha256hex(digest) != peer) {
      std::fprintf(stderr, "digests differ: %s %s\n", trosk::sha256hex(digest).c_str(), peer.c_str());
      return 1;
    }
    theirs = std::min(theirs, sha256sum(path, &peer));
  }
  std::filesystem::remove(path);
  std::printf("SHA-256 of a %zu MiB file, best of %d: trosk %.3f s, sha256sum %.3f s, ratio %.2f\n",
              mib, rounds, ours, theirs, ours / theirs);
  return 0;
}
