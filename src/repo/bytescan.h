// The byte pass of a file measurement: byte sum, XOR parity, rotating check,
// the binary test and the "VERSIONTAG=" scan, with the widest vector
// instructions the processor has; every path gives the byte-by-byte result.
#pragma once

#include <cstddef>
#include <cstdint>

namespace trosk {

// Instruction sets a pass can use, narrowest first.
enum class ScanPath { kPortable, kSse2, kAvx2, kAvx512 };

// The widest path this processor runs (decided once).
ScanPath widestpath();

// Byte sum, parity and rotating check over a stream of blocks. The check
// crc' = rotl1(crc ^ b) is linear over XOR and rotl1 has period 8, so the
// byte at file offset i ends up rotated by (n - i) mod 8 in the final value:
// XOR-ing the file as 8-byte words (aligned on file offsets) gives, per byte
// lane, everything the check and the parity need, with no serial dependency
// per byte.
struct ByteSums {
  // Takes the next n bytes of the file.
  void add(const unsigned char* p, std::size_t n);
  uint8_t parity() const;
  uint8_t crc() const;

  ScanPath path = widestpath();
  uint64_t lanes = 0;  // the file XOR-ed as 8-byte words
  uint64_t sum = 0;
  uint64_t count = 0;
  bool binary = false;  // a byte below 7 was seen

 private:
  void addbyte(uint8_t b);
};

// Finds the first "VERSIONTAG=" and reads the number after it. A byte that
// breaks a partial match resets it and is not tried as a first letter again:
// version numbers in stored logs were read that way, so it stays.
struct TagScan {
  enum Phase { kMatching, kBlanks, kDigits, kDone };
  static constexpr std::size_t kTextMax = 47;

  // Takes the next n bytes of the file.
  void scan(const unsigned char* p, std::size_t n);
  // The number read, 0 when there is none.
  float version() const;

  ScanPath path = widestpath();
  Phase phase = kMatching;
  int matched = 0;
  std::size_t length = 0;
  char text[kTextMax + 1] = {};

 private:
  const unsigned char* nextstart(const unsigned char* p, const unsigned char* end) const;
  void step(unsigned char b);
};

}  // namespace trosk
