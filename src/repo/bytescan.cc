#include "repo/bytescan.h"

#include <bit>
#include <cstdlib>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace trosk {
namespace {

constexpr uint64_t kOnes = 0x0101010101010101ULL;
constexpr uint64_t kHighBits = 0x8080808080808080ULL;
constexpr uint64_t kEvenBytes = 0x00FF00FF00FF00FFULL;
constexpr char kVersionTag[] = "VERSIONTAG=";
constexpr int kTagLength = sizeof kVersionTag - 1;

// Shift that places the byte at offset j of an 8-byte word loaded from memory.
constexpr int laneshift(std::size_t j) {
  return std::endian::native == std::endian::little ? static_cast<int>(8 * j)
                                                    : static_cast<int>(8 * (7 - j));
}

uint8_t rotl8(uint8_t v, unsigned r) {
  r &= 7;
  return r == 0 ? v : static_cast<uint8_t>((v << r) | (v >> (8 - r)));
}

// What whole words add to the sums: their XOR, their byte sum, and whether
// a byte below 7 was among them.
struct Words {
  uint64_t lanes = 0;
  uint64_t sum = 0;
  bool low = false;
};

// The step functions below take as many whole steps of their width as `n`
// holds, from a file offset that is a multiple of 8, and return the bytes
// taken. All 8-byte lanes of a vector then fall on the same file lanes.
std::size_t portablewords(const unsigned char* p, std::size_t n, Words& out) {
  std::size_t words = n / 8;
  uint64_t x = 0, low = 0;
  for (std::size_t left = words; left > 0;) {
    // 16-bit lanes of `pairs` take at most 128 words before they overflow.
    std::size_t run = left < 128 ? left : 128;
    uint64_t pairs = 0;
    for (std::size_t i = 0; i < run; ++i) {
      uint64_t w;
      std::memcpy(&w, p + 8 * i, 8);
      x ^= w;
      pairs += (w & kEvenBytes) + ((w >> 8) & kEvenBytes);
      low |= (w - 7 * kOnes) & ~w & kHighBits;  // some byte below 7
    }
    uint64_t quads = (pairs & 0x0000FFFF0000FFFFULL) + ((pairs >> 16) & 0x0000FFFF0000FFFFULL);
    out.sum += (quads & 0xFFFFFFFFULL) + (quads >> 32);
    p += 8 * run;
    left -= run;
  }
  out.lanes ^= x;
  out.low = out.low || low != 0;
  return 8 * words;
}

// The first "VE" at or after p (a 'V' on the last byte counts, its next byte
// unknown), or end.
const unsigned char* portablepair(const unsigned char* p, const unsigned char* end) {
  for (; p + 1 < end; ++p) {
    if (p[0] == 'V' && p[1] == 'E') return p;
  }
  return p < end && *p == 'V' ? p : end;
}

#if defined(__x86_64__) || defined(__i386__)

// 64 bytes per step: XOR into the lanes, byte sums with psadbw, and a
// byte-below-7 test on the minimum of the four vectors.
__attribute__((target("sse2"))) std::size_t sse2steps(const unsigned char* p, std::size_t n,
                                                      Words& out) {
  std::size_t steps = n / 64;
  if (steps == 0) return 0;
  const __m128i zero = _mm_setzero_si128();
  const __m128i six = _mm_set1_epi8(6);
  __m128i x = zero, total = zero, low = zero;
  for (std::size_t i = 0; i < steps; ++i, p += 64) {
    __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32));
    __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 48));
    x = _mm_xor_si128(x, _mm_xor_si128(_mm_xor_si128(a, b), _mm_xor_si128(c, d)));
    __m128i s = _mm_add_epi64(_mm_add_epi64(_mm_sad_epu8(a, zero), _mm_sad_epu8(b, zero)),
                              _mm_add_epi64(_mm_sad_epu8(c, zero), _mm_sad_epu8(d, zero)));
    total = _mm_add_epi64(total, s);
    __m128i m = _mm_min_epu8(_mm_min_epu8(a, b), _mm_min_epu8(c, d));
    low = _mm_or_si128(low, _mm_cmpeq_epi8(_mm_min_epu8(m, six), m));
  }
  uint64_t q[2];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(q), x);
  out.lanes ^= q[0] ^ q[1];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(q), total);
  out.sum += q[0] + q[1];
  out.low = out.low || _mm_movemask_epi8(low) != 0;
  return 64 * steps;
}

// The same with 32-byte vectors, 128 bytes per step.
__attribute__((target("avx2"))) std::size_t avx2steps(const unsigned char* p, std::size_t n,
                                                      Words& out) {
  std::size_t steps = n / 128;
  if (steps == 0) return 0;
  const __m256i zero = _mm256_setzero_si256();
  const __m256i six = _mm256_set1_epi8(6);
  __m256i x = zero, total = zero, low = zero;
  for (std::size_t i = 0; i < steps; ++i, p += 128) {
    __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
    __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 64));
    __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 96));
    x = _mm256_xor_si256(x, _mm256_xor_si256(_mm256_xor_si256(a, b), _mm256_xor_si256(c, d)));
    __m256i s =
        _mm256_add_epi64(_mm256_add_epi64(_mm256_sad_epu8(a, zero), _mm256_sad_epu8(b, zero)),
                         _mm256_add_epi64(_mm256_sad_epu8(c, zero), _mm256_sad_epu8(d, zero)));
    total = _mm256_add_epi64(total, s);
    __m256i m = _mm256_min_epu8(_mm256_min_epu8(a, b), _mm256_min_epu8(c, d));
    low = _mm256_or_si256(low, _mm256_cmpeq_epi8(_mm256_min_epu8(m, six), m));
  }
  uint64_t q[4];
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(q), x);
  out.lanes ^= q[0] ^ q[1] ^ q[2] ^ q[3];
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(q), total);
  out.sum += q[0] + q[1] + q[2] + q[3];
  out.low = out.low || !_mm256_testz_si256(low, low);
  return 128 * steps;
}

// The same with 64-byte vectors, 256 bytes per step.
__attribute__((target("avx512bw"))) std::size_t avx512steps(const unsigned char* p,
                                                            std::size_t n, Words& out) {
  std::size_t steps = n / 256;
  if (steps == 0) return 0;
  const __m512i zero = _mm512_setzero_si512();
  const __m512i six = _mm512_set1_epi8(6);
  __m512i x = zero, total = zero;
  __mmask64 low = 0;
  for (std::size_t i = 0; i < steps; ++i, p += 256) {
    __m512i a = _mm512_loadu_si512(p);
    __m512i b = _mm512_loadu_si512(p + 64);
    __m512i c = _mm512_loadu_si512(p + 128);
    __m512i d = _mm512_loadu_si512(p + 192);
    x = _mm512_xor_si512(x, _mm512_xor_si512(_mm512_xor_si512(a, b), _mm512_xor_si512(c, d)));
    __m512i s =
        _mm512_add_epi64(_mm512_add_epi64(_mm512_sad_epu8(a, zero), _mm512_sad_epu8(b, zero)),
                         _mm512_add_epi64(_mm512_sad_epu8(c, zero), _mm512_sad_epu8(d, zero)));
    total = _mm512_add_epi64(total, s);
    __m512i m = _mm512_min_epu8(_mm512_min_epu8(a, b), _mm512_min_epu8(c, d));
    low |= _mm512_cmple_epu8_mask(m, six);
  }
  uint64_t q[8];
  _mm512_storeu_si512(q, x);
  for (uint64_t lane : q) out.lanes ^= lane;
  _mm512_storeu_si512(q, total);
  for (uint64_t part : q) out.sum += part;
  out.low = out.low || low != 0;
  return 256 * steps;
}

// The pair searches stop at the first "VE" they see, or where a whole
// vector (and the byte after it) no longer fits: the narrower ones go on
// from there.
__attribute__((target("sse2"))) const unsigned char* sse2pair(const unsigned char* p,
                                                              const unsigned char* end) {
  const __m128i v = _mm_set1_epi8('V'), e = _mm_set1_epi8('E');
  for (; end - p > 16; p += 16) {
    __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
    int mask = _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, v), _mm_cmpeq_epi8(b, e)));
    if (mask != 0) return p + std::countr_zero(static_cast<unsigned>(mask));
  }
  return p;
}

__attribute__((target("avx2"))) const unsigned char* avx2pair(const unsigned char* p,
                                                              const unsigned char* end) {
  const __m256i v = _mm256_set1_epi8('V'), e = _mm256_set1_epi8('E');
  for (; end - p > 32; p += 32) {
    __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 1));
    auto mask = static_cast<unsigned>(
        _mm256_movemask_epi8(_mm256_and_si256(_mm256_cmpeq_epi8(a, v), _mm256_cmpeq_epi8(b, e))));
    if (mask != 0) return p + std::countr_zero(mask);
  }
  return p;
}

__attribute__((target("avx512bw"))) const unsigned char* avx512pair(const unsigned char* p,
                                                                    const unsigned char* end) {
  const __m512i v = _mm512_set1_epi8('V'), e = _mm512_set1_epi8('E');
  for (; end - p > 64; p += 64) {
    __mmask64 mask = _mm512_cmpeq_epi8_mask(_mm512_loadu_si512(p), v) &
                     _mm512_cmpeq_epi8_mask(_mm512_loadu_si512(p + 1), e);
    if (mask != 0) return p + std::countr_zero(static_cast<uint64_t>(mask));
  }
  return p;
}

#endif

std::size_t wholewords(const unsigned char* p, std::size_t n, ScanPath path, Words& out) {
  std::size_t taken = 0;
#if defined(__x86_64__) || defined(__i386__)
  if (path >= ScanPath::kAvx512) taken += avx512steps(p + taken, n - taken, out);
  if (path >= ScanPath::kAvx2) taken += avx2steps(p + taken, n - taken, out);
  if (path >= ScanPath::kSse2) taken += sse2steps(p + taken, n - taken, out);
#endif
  return taken + portablewords(p + taken, n - taken, out);
}

const unsigned char* nextpair(const unsigned char* p, const unsigned char* end, ScanPath path) {
#if defined(__x86_64__) || defined(__i386__)
  if (path >= ScanPath::kAvx512) p = avx512pair(p, end);
  if (path >= ScanPath::kAvx2) p = avx2pair(p, end);
  if (path >= ScanPath::kSse2) p = sse2pair(p, end);
#endif
  return portablepair(p, end);
}

}  // namespace

ScanPath widestpath() {
#if defined(__x86_64__) || defined(__i386__)
  static const ScanPath widest = [] {
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512bw")) return ScanPath::kAvx512;
    if (__builtin_cpu_supports("avx2")) return ScanPath::kAvx2;
    if (__builtin_cpu_supports("sse2")) return ScanPath::kSse2;
    return ScanPath::kPortable;
  }();
  return widest;
#else
  return ScanPath::kPortable;
#endif
}

void ByteSums::addbyte(uint8_t b) {
  lanes ^= static_cast<uint64_t>(b) << laneshift(count & 7);
  sum += b;
  binary = binary || b < 7;
  ++count;
}

void ByteSums::add(const unsigned char* p, std::size_t n) {
  while (n > 0 && (count & 7) != 0) {
    addbyte(*p++);
    --n;
  }
  Words words;
  std::size_t taken = wholewords(p, n, path, words);
  lanes ^= words.lanes;
  sum += words.sum;
  binary = binary || words.low;
  count += taken;
  for (p += taken, n -= taken; n > 0; --n) addbyte(*p++);
}

uint8_t ByteSums::parity() const {
  uint8_t v = 0;
  for (std::size_t j = 0; j < 8; ++j) v ^= static_cast<uint8_t>(lanes >> laneshift(j));
  return v;
}

uint8_t ByteSums::crc() const {
  uint8_t v = 0;
  for (std::size_t j = 0; j < 8; ++j) {
    auto lane = static_cast<uint8_t>(lanes >> laneshift(j));
    v ^= rotl8(lane, static_cast<unsigned>((count - j) & 7));
  }
  return v;
}

void TagScan::scan(const unsigned char* p, std::size_t n) {
  const unsigned char* end = p + n;
  while (p < end && phase != kDone) {
    if (phase == kMatching && matched == 0) {
      p = nextstart(p, end);
      if (p == end) return;
      ++p;
      matched = 1;
      continue;
    }
    step(*p++);
  }
}

// Where a match begins when the scan rests at p: only a 'V' followed by 'E'
// (or by the end of the block) can lead anywhere, and a run of V's before it
// pairs up, each V that begins a match being broken by the next one, which
// is used up. So the 'V' found begins a match only after an even run.
const unsigned char* TagScan::nextstart(const unsigned char* p, const unsigned char* end) const {
  for (;;) {
    const unsigned char* at = nextpair(p, end, path);
    if (at == end) return end;
    std::size_t run = 0;
    while (at - run > p && at[-1 - static_cast<std::ptrdiff_t>(run)] == 'V') ++run;
    if (run % 2 == 0) return at;
    p = at + 1;
  }
}

void TagScan::step(unsigned char b) {
  switch (phase) {
    case kMatching:
      if (b == static_cast<unsigned char>(kVersionTag[matched])) {
        if (++matched == kTagLength) phase = kBlanks;
      } else {
        matched = 0;
      }
      break;
    case kBlanks:
      if (b <= ' ') break;
      phase = kDigits;
      [[fallthrough]];
    case kDigits:
      if ((b >= '0' && b <= '9') || b == '.') {
        text[length++] = static_cast<char>(b);
        if (length == kTextMax) phase = kDone;
      } else {
        phase = kDone;
      }
      break;
    case kDone:
      break;
  }
}

float TagScan::version() const { return length > 0 ? std::strtof(text, nullptr) : 0.0f; }

}  // namespace trosk
