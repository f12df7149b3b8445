#include "repo/bytescan.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace trosk {
namespace {

// The paths this processor can run, narrowest first.
std::vector<ScanPath> runnable() {
  std::vector<ScanPath> paths;
  for (ScanPath p : {ScanPath::kPortable, ScanPath::kSse2, ScanPath::kAvx2, ScanPath::kAvx512}) {
    if (p <= widestpath()) paths.push_back(p);
  }
  return paths;
}

// Feeds `data` from `at` in pieces of random sizes, as reads of a file would.
template <class Pass>
void feed(Pass& pass, const std::vector<unsigned char>& data, std::size_t at, std::mt19937& rng) {
  while (at < data.size()) {
    std::size_t piece = std::min<std::size_t>(data.size() - at, 1 + rng() % 700);
    if constexpr (requires { pass.scan(data.data(), 0); }) {
      pass.scan(data.data() + at, piece);
    } else {
      pass.add(data.data() + at, piece);
    }
    at += piece;
  }
}

TEST(ByteSums, EveryPathGivesTheByteByByteSums) {
  std::mt19937 rng(7);
  for (std::size_t size = 0; size < 3000; size += 1 + size / 16) {
    for (std::size_t offset : {0, 1, 3, 8, 13, 33}) {  // where the file starts in memory
      std::vector<unsigned char> data(offset + size);
      int kind = rng() % 3;  // random bytes, text, text with one byte 6
      for (auto& c : data) c = static_cast<unsigned char>(kind ? 7 + rng() % 249 : rng());
      if (kind == 2 && size > 0) data[offset + rng() % size] = 6;
      uint32_t sum = 0;
      uint8_t parity = 0, crc = 0;
      bool binary = false;
      for (std::size_t i = offset; i < data.size(); ++i) {
        unsigned char b = data[i];
        sum += b;
        parity ^= b;
        uint8_t r = crc ^ b;
        crc = static_cast<uint8_t>((r << 1) | (r >> 7));
        binary = binary || b < 7;
      }
      for (ScanPath path : runnable()) {
        ByteSums sums;
        sums.path = path;
        feed(sums, data, offset, rng);
        SCOPED_TRACE(testing::Message() << "size " << size << " offset " << offset << " path "
                                        << static_cast<int>(path));
        EXPECT_EQ(static_cast<uint32_t>(sums.sum), sum);
        EXPECT_EQ(sums.parity(), parity);
        EXPECT_EQ(sums.crc(), crc);
        EXPECT_EQ(sums.binary, binary);
        EXPECT_EQ(sums.count, size);
      }
    }
  }
}

// The version as the definition reads it, byte by byte.
float plainversion(const std::vector<unsigned char>& data) {
  static const std::string tag = "VERSIONTAG=";
  std::size_t i = 0, matched = 0;
  for (; i < data.size() && matched < tag.size(); ++i) {
    matched = data[i] == static_cast<unsigned char>(tag[matched]) ? matched + 1 : 0;
  }
  if (matched < tag.size()) return 0;
  while (i < data.size() && data[i] <= ' ') ++i;
  std::string text;
  while (i < data.size() && text.size() < TagScan::kTextMax &&
         ((data[i] >= '0' && data[i] <= '9') || data[i] == '.')) {
    text += static_cast<char>(data[i++]);
  }
  return text.empty() ? 0 : std::strtof(text.c_str(), nullptr);
}

TEST(TagScan, EveryPathFindsTheTagAsTheDefinitionDoes) {
  std::mt19937 rng(11);
  const std::string pieces[] = {"V",    "VV",  "E", "VE",  "VERSION", "VERSIONTAG=", "VERSIONTAG=3",
                                "TAG=", " 7.5", "x", "VVV", "\n",      "VERSIONTAG= 12"};
  int found = 0;
  for (int round = 0; round < 3000; ++round) {
    std::vector<unsigned char> data;
    std::size_t length = rng() % 400;
    while (data.size() < length) {
      if (rng() % 4 == 0) {
        const std::string& piece = pieces[rng() % std::size(pieces)];
        data.insert(data.end(), piece.begin(), piece.end());
      } else {
        data.push_back(static_cast<unsigned char>(rng() % 3 ? 'a' + rng() % 26 : 'V'));
      }
    }
    float expected = plainversion(data);
    found += expected != 0;
    for (ScanPath path : runnable()) {
      TagScan scan;
      scan.path = path;
      feed(scan, data, 0, rng);
      ASSERT_EQ(scan.version(), expected)
          << std::string(data.begin(), data.end()) << " path " << static_cast<int>(path);
    }
  }
  EXPECT_GT(found, 300);  // the cases reach the number, not only the search
}

}  // namespace
}  // namespace trosk
