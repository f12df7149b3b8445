// Repository layer speed: the checksum pass against a plain read of the
// same cached file, and file-entry lookups in logs of growing size.
//
//   repo_bench [file size in MiB, default 256] [entries, default 100000]
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "core/frontend.h"
#include "core/runcontext.h"
#include "repo/filestats.h"
#include "repo/projectlog.h"
#include "xml/xmlnode.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// The peer: read() the whole file in 1 MiB blocks and touch nothing.
double plainread(const char* path, std::size_t* total) {
  std::vector<char> block(std::size_t{1} << 20);
  auto start = Clock::now();
  int fd = ::open(path, O_RDONLY);
  if (fd < 0) return -1;
  ssize_t got;
  *total = 0;
  while ((got = ::read(fd, block.data(), block.size())) > 0)
    *total += static_cast<std::size_t>(got);
  ::close(fd);
  return seconds(start);
}

// Writes `mib` MiB of text: bytes 32-126 (a "V" every 95 bytes on average,
// which the version-tag scan has to look at) or, with `sparse`, bytes that
// never hold a "V".
bool makefile(const std::string& path, std::size_t mib, bool sparse) {
  std::mt19937_64 rng(1);
  std::vector<unsigned char> block(std::size_t{1} << 20);
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    std::perror(path.c_str());
    return false;
  }
  for (std::size_t i = 0; i < mib; ++i) {
    for (auto& c : block) {
      auto r = static_cast<unsigned char>(rng());
      c = sparse ? static_cast<unsigned char>(r | 0x08) : static_cast<unsigned char>(32 + r % 95);
    }
    std::fwrite(block.data(), 1, block.size(), f);
  }
  return std::fclose(f) == 0;
}

void checksumbench(trosk::RunContext& rc, std::size_t mib, bool sparse) {
  std::string path = (std::filesystem::temp_directory_path() / "repo_bench.dat").string();
  if (!makefile(path, mib, sparse)) return;
  std::size_t total = 0;
  plainread(path.c_str(), &total);  // warm the page cache
  double best_read = 1e9, best_sum = 1e9;
  trosk::FileStats st;
  for (int round = 0; round < 3; ++round) {
    best_read = std::min(best_read, plainread(path.c_str(), &total));
    auto start = Clock::now();
    trosk::filestats(rc, path.c_str(), nullptr, &st, 0);
    best_sum = std::min(best_sum, seconds(start));
  }
  double gb = static_cast<double>(total) / 1e9;
  std::printf("checksum pass: %zu MiB cached file, %s\n", mib,
              sparse ? "no \"V\" in it" : "printable text (a \"V\" every 95 bytes)");
  std::printf("  plain read (peer) %8.3f s  %6.2f GB/s\n", best_read, gb / best_read);
  std::printf("  filestats         %8.3f s  %6.2f GB/s\n", best_sum, gb / best_sum);
  std::printf("  ratio filestats/read time: %.2f   (checksum %d, crc %d)\n", best_sum / best_read,
              st.checksum, st.crc);
  std::filesystem::remove(path);
}

// Per-file cost: filecheck over many small files, against opening and
// reading each of them whole (the peer).
void smallfilebench(trosk::RunContext& rc, int files) {
  std::filesystem::path dir = std::filesystem::temp_directory_path() / "repo_bench_small";
  std::filesystem::create_directories(dir);
  std::vector<std::string> paths;
  std::string text(2000, 'x');
  for (int i = 0; i < files; ++i) {
    paths.push_back((dir / ("f" + std::to_string(i) + ".txt")).string());
    FILE* f = std::fopen(paths.back().c_str(), "wb");
    if (!f) return;
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
  std::vector<char> buf(4096);
  auto start = Clock::now();
  for (const auto& p : paths) {
    int fd = ::open(p.c_str(), O_RDONLY);
    while (::read(fd, buf.data(), buf.size()) > 0) {
    }
    ::close(fd);
  }
  double peer = seconds(start);
  start = Clock::now();
  trosk::FileStats st;
  for (const auto& p : paths) trosk::filecheck(rc, p.c_str(), &st, 0);
  double mine = seconds(start);
  std::printf("small files: %d files of 2000 bytes\n", files);
  std::printf("  open+read (peer) %7.3f s (%.1f us each)\n", peer, peer / files * 1e6);
  std::printf("  filecheck        %7.3f s (%.1f us each), ratio %.2f\n", mine, mine / files * 1e6,
              mine / peer);
  std::filesystem::remove_all(dir);
}

void lookupbench(trosk::RunContext& rc, int entries) {
  trosk::XmlTree log(trosk::xmlnode(nullptr, "trosk"));
  trosk::FileStats st;
  st.size = 100;
  st.checksum = 12345;
  std::vector<std::string> names;
  names.reserve(entries);
  for (int i = 0; i < entries; ++i)
    names.push_back("src/dir" + std::to_string(i % 97) + "/file" + std::to_string(i) + ".c");
  auto start = Clock::now();
  for (int i = 0; i < entries; ++i) {
    trosk::XmlNode* e = trosk::findfilenode(rc, log.get(), names[i].c_str());
    trosk::addfilenode(rc, log.get(), e, st, names[i].c_str(), nullptr, 0);
  }
  double build = seconds(start);
  start = Clock::now();
  int found = 0;
  for (int i = 0; i < entries; ++i)
    found += trosk::findfilenode(rc, log.get(), names[i].c_str()) != nullptr;
  double lookup = seconds(start);
  std::printf(
      "  %7d entries: build (lookup+add each) %7.3f s, lookup all %7.3f s  (%.0f ns each, %d "
      "found)\n",
      entries, build, lookup, lookup / entries * 1e9, found);
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 256;
  int entries = argc > 2 ? std::atoi(argv[2]) : 100000;
  trosk::QuietFrontend quiet;
  trosk::RunContext rc{quiet};
  checksumbench(rc, mib, true);
  checksumbench(rc, mib, false);
  smallfilebench(rc, 10000);
  std::printf("file-entry lookups:\n");
  lookupbench(rc, entries / 10);
  lookupbench(rc, entries);
  return 0;
}
