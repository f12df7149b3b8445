#include "repo/filestats.h"

#include <sys/stat.h>

#include <bit>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "config/options.h"
#include "core/fileprobe.h"
#include "core/timer.h"

namespace trosk {
namespace {

constexpr std::size_t kReadBlock = std::size_t{256} << 10;
constexpr char kVersionTag[] = "VERSIONTAG=";
constexpr int kTagLength = sizeof kVersionTag - 1;
constexpr std::size_t kVersionTextMax = 47;

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

constexpr uint64_t kOnes = 0x0101010101010101ULL;
constexpr uint64_t kHighBits = 0x8080808080808080ULL;
constexpr uint64_t kEvenBytes = 0x00FF00FF00FF00FFULL;

// Shift that places the byte at offset j of an 8-byte word loaded from memory.
constexpr int laneshift(std::size_t j) {
  return std::endian::native == std::endian::little ? static_cast<int>(8 * j)
                                                    : static_cast<int>(8 * (7 - j));
}

uint8_t rotl8(uint8_t v, unsigned r) {
  r &= 7;
  return r == 0 ? v : static_cast<uint8_t>((v << r) | (v >> (8 - r)));
}

// Byte sum, parity and rotating check over a stream of blocks. The check
// crc' = rotl1(crc ^ b) is linear over XOR and rotl1 has period 8, so the
// byte at file offset i ends up rotated by (n - i) mod 8 in the final value:
// XOR-ing the file as 8-byte words (aligned on file offsets) gives, per byte
// lane, everything the check and the parity need, with no serial dependency
// per byte.
struct Sums {
  uint64_t lanes = 0;
  uint64_t sum = 0;
  uint64_t count = 0;
  bool binary = false;

  void addbyte(uint8_t b) {
    lanes ^= static_cast<uint64_t>(b) << laneshift(count & 7);
    sum += b;
    binary = binary || b < 7;
    ++count;
  }

  void add(const unsigned char* p, std::size_t n) {
    while (n > 0 && (count & 7) != 0) {
      addbyte(*p++);
      --n;
    }
    std::size_t words = n / 8;
    addwords(p, words);
    p += words * 8;
    n -= words * 8;
    while (n-- > 0) addbyte(*p++);
  }

  // Words of 8 bytes, the first one at a file offset that is a multiple of 8.
  void addwords(const unsigned char* p, std::size_t words) {
#if defined(__SSE2__)
    std::size_t wide = words / 8;
    addvectors(p, wide);
    p += 64 * wide;
    words -= 8 * wide;
#endif
    addwordsportable(p, words);
  }

#if defined(__SSE2__)
  // 64 bytes per step: XOR into the lanes (both halves of a 16-byte vector
  // fall on the same lanes), byte sums with psadbw, and a byte-below-7 test.
  void addvectors(const unsigned char* p, std::size_t steps) {
    if (steps == 0) return;
    count += 64 * steps;
    const __m128i zero = _mm_setzero_si128();
    const __m128i six = _mm_set1_epi8(6);
    __m128i x = _mm_setzero_si128(), total = _mm_setzero_si128(), low = _mm_setzero_si128();
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
    alignas(16) uint64_t halves[2];
    _mm_store_si128(reinterpret_cast<__m128i*>(halves), x);
    lanes ^= halves[0] ^ halves[1];
    _mm_store_si128(reinterpret_cast<__m128i*>(halves), total);
    sum += halves[0] + halves[1];
    binary = binary || _mm_movemask_epi8(low) != 0;
  }
#endif

  void addwordsportable(const unsigned char* p, std::size_t words) {
    count += 8 * words;
    uint64_t x = lanes, low = 0;
    while (words > 0) {
      // 16-bit lanes of `pairs` take at most 128 words before they overflow.
      std::size_t run = words < 128 ? words : 128;
      uint64_t pairs = 0;
      for (std::size_t i = 0; i < run; ++i) {
        uint64_t w;
        std::memcpy(&w, p + 8 * i, 8);
        x ^= w;
        pairs += (w & kEvenBytes) + ((w >> 8) & kEvenBytes);
        low |= (w - 7 * kOnes) & ~w & kHighBits;  // some byte below 7
      }
      uint64_t quads = (pairs & 0x0000FFFF0000FFFFULL) + ((pairs >> 16) & 0x0000FFFF0000FFFFULL);
      sum += (quads & 0xFFFFFFFFULL) + (quads >> 32);
      p += 8 * run;
      words -= run;
    }
    lanes = x;
    binary = binary || low != 0;
  }

  uint8_t parity() const {
    uint8_t v = 0;
    for (std::size_t j = 0; j < 8; ++j) v ^= static_cast<uint8_t>(lanes >> laneshift(j));
    return v;
  }

  uint8_t crc() const {
    uint8_t v = 0;
    for (std::size_t j = 0; j < 8; ++j) {
      auto lane = static_cast<uint8_t>(lanes >> laneshift(j));
      v ^= rotl8(lane, static_cast<unsigned>((count - j) & 7));
    }
    return v;
  }
};

// Finds the first "VERSIONTAG=" and reads the number after it. A byte that
// breaks a partial match resets it and is not tried as a first letter again:
// version numbers in stored logs were read that way, so it stays.
struct TagScan {
  enum Phase { kMatching, kBlanks, kDigits, kDone };
  Phase phase = kMatching;
  int matched = 0;
  std::size_t length = 0;
  char text[kVersionTextMax + 1] = {};

  void scan(const unsigned char* p, std::size_t n) {
    const unsigned char* end = p + n;
    while (p < end && phase != kDone) {
      if (phase == kMatching && matched == 0) {
        p = nextv(p, end);
        if (p == end) return;
        ++p;
        matched = 1;
        continue;
      }
      step(*p++);
    }
  }

  // The first 'V' in [p, end), or end. Inline rather than memchr: in text
  // a 'V' comes every hundred bytes or so, and the call would dominate.
  static const unsigned char* nextv(const unsigned char* p, const unsigned char* end) {
#if defined(__SSE2__)
    const __m128i v = _mm_set1_epi8('V');
    while (end - p >= 16) {
      __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      int mask = _mm_movemask_epi8(_mm_cmpeq_epi8(x, v));
      if (mask != 0) return p + __builtin_ctz(static_cast<unsigned>(mask));
      p += 16;
    }
#endif
    while (p < end && *p != 'V') ++p;
    return p;
  }

  void step(unsigned char b) {
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
          if (length == kVersionTextMax) phase = kDone;
        } else {
          phase = kDone;
        }
        break;
      case kDone:
        break;
    }
  }

  float version() const { return length > 0 ? std::strtof(text, nullptr) : 0.0f; }
};

int sizeonly(FILE* stream, FileStats* stats) {
  int64_t size = filesize(nullptr, stream);
  stats->size = size < 0 ? 0 : size;
  return stats->size > 0 ? kFileText : kFileEmpty;
}

int measure(FILE* stream, FileStats* stats) {
  int32_t start = timerread();
  // One buffer for each thread: measuring many small files costs no
  // allocation each.
  thread_local std::vector<unsigned char> block(kReadBlock);
  Sums sums;
  TagScan tag;
  std::size_t got;
  while ((got = std::fread(block.data(), 1, block.size(), stream)) > 0) {
    sums.add(block.data(), got);
    if (tag.phase != TagScan::kDone) tag.scan(block.data(), got);
  }
  stats->version = tag.version();
  stats->checksum = static_cast<int32_t>(static_cast<uint32_t>(sums.sum));
  stats->parity = sums.parity();
  stats->crc = sums.crc();
  stats->size = static_cast<int64_t>(sums.count);
  timerlog(kTimeFilestats, start, "filestats");
  if (sums.binary) return kFileBinary;
  return sums.count > 0 ? kFileText : kFileEmpty;
}

}  // namespace

int filestats(const char* path, FILE* stream, FileStats* stats, int flags) {
  *stats = FileStats{};
  File owned;
  if (path) {
    owned.reset(std::fopen(path, "rb"));
    stream = owned.get();
  }
  if (!stream) {
    stats->parity = -1;
    return kFileEmpty;
  }
  if (flags & kStatsSizeOnly) return sizeonly(stream, stats);
  return measure(stream, stats);
}

void setstamp(std::time_t when, FileStats* stats) {
  std::tm local{};
  if (!localtime_r(&when, &local)) return;
  int year = local.tm_year < 1000 ? local.tm_year + 1900 : local.tm_year;
  stats->date = year * 10000 + (local.tm_mon + 1) * 100 + local.tm_mday;
  stats->time = local.tm_hour * 10000 + local.tm_min * 100 + local.tm_sec;
}

int filecheck(const char* path, FileStats* stats, int flags) {
  int32_t start = timerread();
  int kind = filestats(path, nullptr, stats, flags);
  struct stat st;
  if (path && ::stat(path, &st) == 0) {
    setstamp(st.st_mtime, stats);
    if (kind == kFileEmpty) kind = kFileExistsEmpty;
  }
  timerlog(kTimeFilecheck, start, "filecheck");
  return kind;
}

int cmpchecks(const FileStats& l, const FileStats& r, int mode) {
  int32_t start = timerread();
  int bits = 0;
  if (l.size == r.size) {
    bits |= kSameSize;
  } else if (l.size != 0) {
    bits |= kDiffSize;
  }
  if (mode != kCompareStampOnly) {
    if (l.checksum == r.checksum) {
      bits |= kSameChecksum;
    } else if (l.checksum != 0) {
      bits |= kDiffChecksum;
    }
    if (l.crc != 0 && r.crc != 0) {
      bits |= l.crc == r.crc ? kSameCrc : kDiffCrc;
    } else if (l.parity == r.parity) {
      bits |= kSameCrc;
    } else if (l.parity != 0) {
      bits |= kDiffCrc;
    }
  }
  if (l.version == r.version) {
    bits |= kSameVersion;
  } else if (l.version > 0) {
    bits |= kDiffVersion;
  }
  int64_t d = 0;
  if (l.date == r.date) {
    bits |= kSameDate;
  } else {
    if (l.date != 0) bits |= kDiffDate;
    d = static_cast<int64_t>(r.date) - l.date;
  }
  if (l.time == r.time) {
    bits |= kSameTime;
  } else if (l.time != 0) {
    bits |= kDiffTime;
  }
  if (d == 0) d = static_cast<int64_t>(r.time) - l.time;
  if (d != 0 && l.date != 0 && r.date != 0 && l.time != 0 && r.time != 0) {
    bits |= d < 1 ? kOlder : kNewer;
  }
  timerlog(kTimeCmpchecks, start, "cmpchecks");
  return bits;
}

const char* datetext(int32_t date, int32_t time) {
  thread_local char buffers[2][48];
  thread_local int turn = 0;
  char* out = buffers[turn];
  turn ^= 1;
  int year = date / 10000 % 100, month = date / 100 % 100, day = date % 100;
  int first = month, second = day;
  if (runSettings.dateOrder == 1) std::swap(first, second);
  std::snprintf(out, sizeof buffers[0], "%2d/%02d/%02d %2d:%02d:%02d", first, second, year,
                time / 10000, time / 100 % 100, time % 100);
  return out;
}

const char* nowtext() {
  thread_local char buffer[48];
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  int first = local.tm_mon + 1, second = local.tm_mday;
  if (runSettings.dateOrder == 1) std::swap(first, second);
  std::snprintf(buffer, sizeof buffer, "%2d/%02d/%02d %02d:%02d:%02d", first, second,
                local.tm_year % 100, local.tm_hour, local.tm_min, local.tm_sec);
  return buffer;
}

}  // namespace trosk
