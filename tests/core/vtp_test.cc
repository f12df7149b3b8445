#include "core/vtp.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "testing/testing.h"

namespace trosk {
namespace {

std::string randombytes(std::size_t n, unsigned start) {
  std::mt19937 rng(start);
  std::string s(n, '\0');
  for (auto& c : s) c = static_cast<char>(rng());
  return s;
}

// Decodes `armour` fed in pieces of `step` bytes. -1 when refused.
int decodechunked(const std::string& armour, std::size_t step, std::string* out) {
  VtpDecoder d;
  out->clear();
  VtpSink sink = [out](const char* p, std::size_t n) {
    out->append(p, n);
    return true;
  };
  for (std::size_t i = 0; i < armour.size(); i += step) {
    std::size_t n = std::min(step, armour.size() - i);
    if (d.feed(armour.data() + i, n, sink) < 0) return -1;
  }
  return d.finish();
}

TEST(VtpArmour, HeaderLinesAndTrailer) {
  std::string a = vtpencodestring(std::string(100, 'x'));
  EXPECT_TRUE(isvtp(a));
  EXPECT_EQ(a.rfind("[VTP NB=100 ", 0), 0u);
  std::size_t body = a.find("]\n") + 2;
  std::size_t eol = a.find('\n', body);
  EXPECT_EQ(eol - body, 76u);  // full lines of 76 characters
  EXPECT_NE(a.find("\n[END CRC32="), std::string::npos);
  EXPECT_EQ(a.back(), '\n');
  EXPECT_FALSE(isvtp("[VTP"));
  EXPECT_FALSE(isvtp("plain text"));
}

TEST(VtpArmour, RoundTripOfManySizes) {
  std::vector<std::size_t> sizes;
  for (std::size_t n = 0; n <= 200; ++n) sizes.push_back(n);
  for (std::size_t n : {1000u, 4095u, 4096u, 4097u, 65536u, 116736u, 116737u}) sizes.push_back(n);
  sizes.push_back((1u << 20) + 7);
  for (std::size_t n : sizes) {
    std::string data = randombytes(n, static_cast<unsigned>(n));
    std::string back;
    ASSERT_EQ(vtpdecodestring(vtpencodestring(data), &back), 0) << n;
    ASSERT_EQ(back, data) << n;
  }
}

TEST(VtpArmour, FileEncoderMatchesStringEncoder) {
  testing::ScratchDir dir;
  for (std::size_t n : {0u, 1u, 56u, 57u, 58u, 116736u, 116737u, 300000u}) {
    std::string data = randombytes(n, 7 + static_cast<unsigned>(n));
    testing::writefile("in.bin", data);
    FILE* in = std::fopen("in.bin", "rb");
    FILE* out = std::fopen("out.vtp", "wb");
    long long written = vtpencode(in, out);
    std::fclose(in);
    std::fclose(out);
    std::string armour = testing::readfile("out.vtp");
    EXPECT_EQ(written, static_cast<long long>(armour.size()));
    EXPECT_EQ(armour, vtpencodestring(data)) << n;
  }
}

TEST(VtpDecoding, EveryChunkSizeGivesTheSameResult) {
  std::string data = randombytes(1000, 3);
  std::string armour = vtpencodestring(data);
  for (std::size_t step = 1; step <= armour.size(); ++step) {
    std::string out;
    ASSERT_EQ(decodechunked(armour, step, &out), 0) << step;
    ASSERT_EQ(out, data) << step;
  }
}

TEST(VtpDecoding, AnnouncedSizeIsKnownAfterTheHeader) {
  std::string armour = vtpencodestring("abc");
  VtpDecoder d;
  VtpSink none = [](const char*, std::size_t) { return true; };
  EXPECT_EQ(d.decodedsize(), -1);
  d.feed(armour.data(), 8, none);
  EXPECT_EQ(d.decodedsize(), -1);
  d.feed(armour.data() + 8, armour.find(']') - 7, none);
  EXPECT_EQ(d.decodedsize(), 3);
}

TEST(VtpDecoding, LineEndsOfEitherKindAreAccepted) {
  std::string data = randombytes(500, 9);
  std::string armour = vtpencodestring(data), crlf;
  for (char c : armour) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  std::string out;
  EXPECT_EQ(vtpdecodestring(crlf, &out), 0);
  EXPECT_EQ(out, data);
}

TEST(VtpCorruption, FlippedCharacterAnywhereIsRefused) {
  std::string data = randombytes(300, 11);
  std::string armour = vtpencodestring(data);
  for (std::size_t i = 0; i < armour.size(); ++i) {
    std::string bad = armour;
    char c = bad[i];
    // Replace with another character of the same kind, so only the checks
    // (not the character classes) can catch it.
    if (std::isalnum(static_cast<unsigned char>(c))) {
      bad[i] = c == 'A' ? 'B' : 'A';
    } else {
      bad[i] = '#';
    }
    std::string out;
    int r = vtpdecodestring(bad, &out);
    EXPECT_TRUE(r < 0 || out == data) << i;
  }
}

TEST(VtpCorruption, FlippedBodyCharacterFailsTheCheck) {
  std::string data = randombytes(300, 12);
  std::string armour = vtpencodestring(data);
  std::size_t body = armour.find("]\n") + 2;
  for (std::size_t i = body; i < body + 76; ++i) {
    std::string bad = armour;
    bad[i] = bad[i] == 'z' ? 'y' : 'z';
    std::string out;
    EXPECT_EQ(vtpdecodestring(bad, &out), -1) << i;
  }
}

TEST(VtpCorruption, TruncatedArmourIsRefused) {
  std::string armour = vtpencodestring(randombytes(1000, 13));
  for (std::size_t cut = 0; cut + 1 < armour.size(); cut += 7) {
    std::string out;
    EXPECT_EQ(vtpdecodestring(armour.substr(0, cut), &out), -1) << cut;
  }
  // Missing only the trailer's closing bracket.
  std::string out;
  EXPECT_EQ(vtpdecodestring(armour.substr(0, armour.size() - 2), &out), -1);
}

TEST(VtpCorruption, WrongSizeOrCheckIsRefused) {
  std::string armour = vtpencodestring("hello world");
  std::string out;
  auto edit = [&](const std::string& from, const std::string& to) {
    std::string bad = armour;
    bad.replace(bad.find(from), from.size(), to);
    return bad;
  };
  EXPECT_EQ(vtpdecodestring(edit("NB=11", "NB=12"), &out), -1);
  EXPECT_EQ(vtpdecodestring(edit("NB=11", "NB=10"), &out), -1);
  EXPECT_EQ(vtpdecodestring(edit("NB=11", "NB=x"), &out), -1);
  EXPECT_EQ(vtpdecodestring(edit("NB=11", "NB=11 NB=11"), &out), -1);
  EXPECT_EQ(vtpdecodestring(edit("NB=11 ", ""), &out), -1);
  EXPECT_EQ(vtpdecodestring(edit("ENC=B64", "ENC=B85"), &out), -1);
  std::size_t at = armour.find("CRC32=") + 6;
  std::string bad = armour;
  bad[at] = bad[at] == '0' ? '1' : '0';
  EXPECT_EQ(vtpdecodestring(bad, &out), -1);
  EXPECT_EQ(vtpdecodestring(edit("CRC32=", "CRC="), &out), -1);
  // Unknown header fields are passed over.
  EXPECT_EQ(vtpdecodestring(edit("ENC=B64", "ENC=B64 NAME=x.bin"), &out), 0);
  EXPECT_EQ(out, "hello world");
}

TEST(VtpCorruption, MissingHeaderOrStrayTextIsRefused) {
  std::string armour = vtpencodestring("data");
  std::string out;
  EXPECT_EQ(vtpdecodestring(armour.substr(armour.find('\n') + 1), &out), -1);
  EXPECT_EQ(vtpdecodestring(" " + armour, &out), -1);
  EXPECT_EQ(vtpdecodestring(armour + "more", &out), -1);
  EXPECT_EQ(vtpdecodestring(armour + "\n\n", &out), 0);
  std::string bad = armour;
  bad.insert(bad.find("]\n") + 2, "ZZ==");  // an extra padded group
  EXPECT_EQ(vtpdecodestring(bad, &out), -1);
  bad = armour;
  bad.insert(bad.find("]\n") + 2, "!");
  EXPECT_EQ(vtpdecodestring(bad, &out), -1);
  EXPECT_EQ(vtpdecodestring(std::string("[VTP ") + std::string(600, 'A'), &out), -1);
}

TEST(VtpCorruption, PaddingRules) {
  std::string out;
  auto wrap = [](const std::string& body, std::size_t nb, const std::string& crc) {
    return "[VTP NB=" + std::to_string(nb) + "]\n" + body + "\n[END CRC32=" + crc + "]\n";
  };
  // "QQ==" is the single byte 'A' (CRC-32 d3d99e8b).
  EXPECT_EQ(vtpdecodestring(wrap("QQ==", 1, "d3d99e8b"), &out), 0);
  EXPECT_EQ(out, "A");
  EXPECT_EQ(vtpdecodestring(wrap("QR==", 1, "d3d99e8b"), &out), -1);  // unused bits set
  EXPECT_EQ(vtpdecodestring(wrap("QQ=", 1, "d3d99e8b"), &out), -1);   // group not closed
  EXPECT_EQ(vtpdecodestring(wrap("QQ", 1, "d3d99e8b"), &out), -1);    // padding missing
  EXPECT_EQ(vtpdecodestring(wrap("Q===", 1, "d3d99e8b"), &out), -1);
  EXPECT_EQ(vtpdecodestring(wrap("QQ==QQ==", 2, "00000000"), &out), -1);
}

TEST(VtpDecoding, SinkCanStopTheDecoder) {
  std::string armour = vtpencodestring(randombytes(10000, 1));
  VtpDecoder d;
  VtpSink refuse = [](const char*, std::size_t) { return false; };
  EXPECT_EQ(d.feed(armour.data(), armour.size(), refuse), -1);
  EXPECT_EQ(d.feed("x", 1, refuse), -1);  // stays failed
  EXPECT_EQ(d.finish(), -1);
}

}  // namespace
}  // namespace trosk
