// Throughput of the XML layer on a project log of 100,000 file entries (or
// the count given as the first argument): writing it with xmlsave, loading
// it with xmlload, parsing it in memory and walking its entries, each set
// against a plain peer measured in the same run on the same bytes.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/frontend.h"
#include "core/runcontext.h"
#include "xml/xmlfind.h"
#include "xml/xmlnode.h"
#include "xml/xmlparse.h"
#include "xml/xmlwrite.h"

namespace {

using namespace trosk;
using Clock = std::chrono::steady_clock;

constexpr int kRounds = 5;  // the best round counts

XmlTree makelog(int entries) {
  XmlTree root(xmlnode(nullptr, "trosk"));
  xmladdval(root.get(), "pversion", "4", kXmlText);
  xmladdval(root.get(), "subversion", "2", kXmlText);
  char text[128];
  for (int i = 0; i < entries; ++i) {
    XmlNode* f = xmlnode(root.get(), "file");
    std::snprintf(text, sizeof text, "src/module%03d/component_%06d.cc", i % 500, i);
    xmladdval(f, "name", text, kXmlText);
    std::snprintf(text, sizeof text, "component_%06d.cc_v%d", i, 1 + i % 3);
    xmladdval(f, "source", text, kXmlText);
    auto number = [&](const char* name, long value) {
      std::snprintf(text, sizeof text, "%ld", value);
      xmladdval(f, name, text, kXmlText);
    };
    number("checksum", 1000000L + i * 37L);
    number("size", 2000L + i % 90000);
    number("parity", i % 251);
    number("crc", (i * 7) % 256);
    number("date", 20240101L + i % 28);
    number("time", 100000L + i % 2359);
  }
  return root;
}

// Seconds of the fastest of kRounds runs of `work`.
template <class Work>
double best(Work work) {
  double fastest = 1e30;
  for (int r = 0; r < kRounds; ++r) {
    auto t0 = Clock::now();
    work();
    double s = std::chrono::duration<double>(Clock::now() - t0).count();
    if (s < fastest) fastest = s;
  }
  return fastest;
}

std::string readall(const std::string& path) {
  std::string data;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return data;
  std::fseek(f, 0, SEEK_END);
  data.resize(static_cast<std::size_t>(std::ftell(f)));
  std::rewind(f);
  std::size_t got = std::fread(data.data(), 1, data.size(), f);
  data.resize(got);
  std::fclose(f);
  return data;
}

void line(const char* what, double seconds, double mb, const char* peer, double peerSeconds) {
  std::printf("%-22s %8.1f ms %8.0f MB/s   %-26s %8.1f ms %8.0f MB/s   ratio %5.2f\n", what,
              seconds * 1e3, mb / seconds, peer, peerSeconds * 1e3, mb / peerSeconds,
              seconds / peerSeconds);
}

}  // namespace

int main(int argc, char** argv) {
  int entries = argc > 1 ? std::atoi(argv[1]) : 100000;
  if (entries < 1) entries = 100000;
  std::string pattern = (std::filesystem::temp_directory_path() / "xml_bench-XXXXXX").string();
  if (!mkdtemp(pattern.data())) return 1;
  std::filesystem::path dir = pattern;
  std::string logpath = (dir / "trosk_bench.xml").string();
  std::string peerpath = (dir / "peer.xml").string();

  QuietFrontend quiet;
  RunContext rc(quiet);
  XmlTree log = makelog(entries);
  if (xmlsave(rc, logpath.c_str(), nullptr, log.get(), 0) != 0) return 1;
  std::string bytes = readall(logpath);
  double mb = static_cast<double>(bytes.size()) / 1e6;
  std::printf("xml_bench: %d file entries, %.1f MB in the writer's layout\n", entries, mb);

  double save = best([&] { xmlsave(rc, logpath.c_str(), nullptr, log.get(), 0); });
  double fwrite = best([&] {
    FILE* f = std::fopen(peerpath.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  });
  line("write  xmlsave", save, mb, "peer: fwrite of the bytes", fwrite);

  double load = best([&] {
    XmlDocument doc;
    if (xmlload(rc, logpath.c_str(), doc, 3) != 1) std::exit(1);
  });
  double plainread = best([&] { readall(logpath); });
  line("load   xmlload", load, mb, "peer: plain read to memory", plainread);

  std::string text;
  double parse = best([&] {
    text = bytes;  // parsed in place, so each round gets a fresh copy
    XmlTree root(xmlparsetext(rc, text.data()));
    if (!root) std::exit(1);
  });
  double copy = best([&] { text = bytes; });
  std::size_t tags = 0;
  double scan = best([&] {
    tags = 0;
    for (std::size_t p = bytes.find('<'); p != std::string::npos; p = bytes.find('<', p + 1))
      ++tags;
  });
  line("parse  xmlparsetext", parse - copy, mb, "peer: string::find '<'", scan);

  double walk = best([&] {
    int k = 1;
    while (XmlNode* f = xmlfind(log.get(), "file", k, nullptr, 0, 0)) {
      if (!xmlpathval(f, "name")) std::exit(1);
      ++k;
    }
  });
  std::printf("walk   xmlfind 1..%d with a name lookup each: %.1f ms (%.0f ns per entry)\n",
              entries, walk * 1e3, walk * 1e9 / entries);
  std::printf("(%zu tags; best of %d rounds each)\n", tags, kRounds);
  std::filesystem::remove_all(dir);
  return 0;
}
