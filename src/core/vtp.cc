#include "core/vtp.h"

#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include "core/fileprobe.h"
#include "core/runcontext.h"

namespace trosk {
namespace {

constexpr int kLineBytes = 57;  // 76 characters of base64 per line
constexpr int kLineChars = 76;
constexpr std::size_t kMaxHeader = 512;
constexpr int64_t kMaxDecoded = int64_t{1} << 50;
constexpr std::string_view kEndMagic = "[END ";
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

enum State { kMagic, kHeader, kBody, kTrailer, kDone, kFailed };

// Classes of armour characters in the body, beside the 64 digit values.
enum : uint8_t { kSkip = 64, kPad, kOpen, kBad };

constexpr std::array<uint8_t, 256> bodyclasses() {
  std::array<uint8_t, 256> t{};
  for (auto& v : t) v = kBad;
  for (int i = 0; i < 64; ++i) t[static_cast<uint8_t>(kAlphabet[i])] = static_cast<uint8_t>(i);
  t[' '] = t['\t'] = t['\r'] = t['\n'] = kSkip;
  t['='] = kPad;
  t['['] = kOpen;
  return t;
}
constexpr std::array<uint8_t, 256> kClass = bodyclasses();

constexpr std::array<uint32_t, 256> crctable() {
  std::array<uint32_t, 256> t{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[i] = c;
  }
  return t;
}
constexpr std::array<uint32_t, 256> kCrcTable = crctable();

// CRC-32 (the common reflected polynomial), continued from `crc`.
uint32_t crc32(uint32_t crc, const unsigned char* p, std::size_t n) {
  crc = ~crc;
  while (n-- > 0) crc = kCrcTable[(crc ^ *p++) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

// Appends the base64 lines of `n` bytes; every line but the last of the
// whole text holds kLineBytes bytes, so callers pass multiples of it.
void encodelines(const unsigned char* p, std::size_t n, std::string& out) {
  while (n > 0) {
    std::size_t take = n < kLineBytes ? n : kLineBytes;
    std::size_t i = 0;
    for (; i + 3 <= take; i += 3) {
      uint32_t v = (uint32_t{p[i]} << 16) | (uint32_t{p[i + 1]} << 8) | p[i + 2];
      char quad[4] = {kAlphabet[v >> 18], kAlphabet[(v >> 12) & 63], kAlphabet[(v >> 6) & 63],
                      kAlphabet[v & 63]};
      out.append(quad, 4);
    }
    if (take - i == 1) {
      uint32_t v = uint32_t{p[i]} << 16;
      char quad[4] = {kAlphabet[v >> 18], kAlphabet[(v >> 12) & 63], '=', '='};
      out.append(quad, 4);
    } else if (take - i == 2) {
      uint32_t v = (uint32_t{p[i]} << 16) | (uint32_t{p[i + 1]} << 8);
      char quad[4] = {kAlphabet[v >> 18], kAlphabet[(v >> 12) & 63], kAlphabet[(v >> 6) & 63], '='};
      out.append(quad, 4);
    }
    out.push_back('\n');
    p += take;
    n -= take;
  }
}

std::string headertext(int64_t size) {
  char text[96];
  std::snprintf(text, sizeof text, "[VTP NB=%lld ENC=B64 LL=%d]\n", static_cast<long long>(size),
                kLineChars);
  return text;
}

std::string trailertext(uint32_t crc) {
  char text[32];
  std::snprintf(text, sizeof text, "[END CRC32=%08x]\n", static_cast<unsigned>(crc));
  return text;
}

// Reads a decimal or (with base 16) hex value that fills the whole text.
int64_t fieldnumber(std::string_view v, int base) {
  if (v.empty() || v.size() > 16) return -1;
  int64_t n = 0;
  for (char c : v) {
    int d;
    if (c >= '0' && c <= '9') {
      d = c - '0';
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      d = c - 'a' + 10;
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      d = c - 'A' + 10;
    } else {
      return -1;
    }
    n = n * base + d;
  }
  return n;
}

// Splits "key=value key=value" (blanks between fields) and hands each pair
// to `take`. False when a field has no '=' or `take` refuses it.
template <typename Take>
bool fields(std::string_view text, Take take) {
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == ' ' || text[i] == '\t') {
      ++i;
      continue;
    }
    std::size_t end = text.find_first_of(" \t", i);
    if (end == std::string_view::npos) end = text.size();
    std::string_view field = text.substr(i, end - i);
    std::size_t eq = field.find('=');
    if (eq == std::string_view::npos || eq == 0) return false;
    if (!take(field.substr(0, eq), field.substr(eq + 1))) return false;
    i = end;
  }
  return true;
}

// Collects decoded bytes and hands them to the sink in pieces.
struct Output {
  // The buffer is left unset: clearing 4 KiB per feed cost more than decoding a short one.
  Output(VtpDecoder& decoder, const VtpSink& to) : d(decoder), sink(to) {}

  VtpDecoder& d;
  const VtpSink& sink;
  std::size_t n = 0;
  unsigned char buf[4096];

  bool flush() {
    if (n == 0) return true;
    d.check = crc32(d.check, buf, n);
    bool ok = sink(reinterpret_cast<const char*>(buf), n);
    n = 0;
    return ok;
  }
  bool put(unsigned char b) {
    if (d.produced >= static_cast<uint64_t>(d.announced)) return false;
    ++d.produced;
    buf[n++] = b;
    return n < sizeof buf || flush();
  }
  // The three bytes of one whole group, within the announced size.
  bool putgroup(uint32_t v) {
    if (n + 3 > sizeof buf && !flush()) return false;
    buf[n] = static_cast<unsigned char>(v >> 16);
    buf[n + 1] = static_cast<unsigned char>(v >> 8);
    buf[n + 2] = static_cast<unsigned char>(v);
    n += 3;
    d.produced += 3;
    return true;
  }
};

// Decodes the whole groups of four digits at the start of `p`, as long as
// the body stands at a group boundary: the common case, taken without the
// byte-by-byte steps. Returns the bytes taken (a multiple of 4); anything
// else (a line end, padding, the trailer, a bad byte, the last bytes
// announced) is left to those steps. -1 when the sink failed.
long long takegroups(VtpDecoder& d, const unsigned char* p, std::size_t n, Output& out) {
  if (d.state != kBody || d.pads != 0 || d.quantum != 0) return 0;
  std::size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    uint32_t a = kClass[p[i]], b = kClass[p[i + 1]], c = kClass[p[i + 2]], e = kClass[p[i + 3]];
    if ((a | b | c | e) >= 64) break;
    if (d.produced + 3 > static_cast<uint64_t>(d.announced)) break;
    if (!out.putgroup((a << 18) | (b << 12) | (c << 6) | e)) return -1;
  }
  return static_cast<long long>(i);
}

}  // namespace

bool isvtp(std::string_view start) { return start.substr(0, kVtpMagic.size()) == kVtpMagic; }

bool isvtpfile(const char* path) {
  std::unique_ptr<FILE, int (*)(FILE*)> in(std::fopen(path, "rb"), &std::fclose);
  char head[8] = {};
  std::size_t n = in ? std::fread(head, 1, kVtpMagic.size(), in.get()) : 0;
  return isvtp(std::string_view(head, n));
}

std::string vtpencodestring(std::string_view data) {
  auto* p = reinterpret_cast<const unsigned char*>(data.data());
  std::string out = headertext(static_cast<int64_t>(data.size()));
  out.reserve(out.size() + data.size() / 3 * 4 + data.size() / kLineBytes + 32);
  encodelines(p, data.size(), out);
  out += trailertext(crc32(0, p, data.size()));
  return out;
}

long long vtpencode(FILE* in, FILE* out, const RunContext* rc) {
  int64_t start = ftello(in);
  int64_t end = streamsize(in);
  if (start < 0 || end < start) return -1;
  int64_t size = end - start;
  std::string text = headertext(size);
  long long written = 0;
  std::vector<unsigned char> block(kLineBytes * 2048);
  std::size_t held = 0;
  uint32_t crc = 0;
  int64_t seen = 0;
  for (;;) {
    std::size_t got = std::fread(block.data() + held, 1, block.size() - held, in);
    crc = crc32(crc, block.data() + held, got);
    seen += static_cast<int64_t>(got);
    held += got;
    bool last = got == 0;
    std::size_t whole = last ? held : held - held % kLineBytes;
    encodelines(block.data(), whole, text);
    std::memmove(block.data(), block.data() + whole, held - whole);
    held -= whole;
    if (last) text += trailertext(crc);
    if (std::fwrite(text.data(), 1, text.size(), out) != text.size()) return -1;
    written += static_cast<long long>(text.size());
    text.clear();
    if (last) break;
    if (rc && rc->cancelled()) return -1;
  }
  // A file that changed while it was read would not match its own header.
  if (std::ferror(in) || seen != size) return -1;
  return written;
}

namespace {

// Each step takes one byte of its part of the armour; false means corrupt.

bool takemagic(VtpDecoder& d, unsigned char c) {
  if (c != static_cast<unsigned char>(kVtpMagic[d.header.size()])) return false;
  d.header.push_back(static_cast<char>(c));
  if (d.header.size() == kVtpMagic.size()) {
    d.header.clear();
    d.state = kHeader;
  }
  return true;
}

// Collects header or trailer text up to its "]"; true with `closed` set
// when the "]" arrived.
bool collect(VtpDecoder& d, unsigned char c, bool* closed) {
  *closed = c == ']';
  if (*closed) return true;
  if (d.header.size() >= kMaxHeader || c == '\n' || c == '\r') return false;
  d.header.push_back(static_cast<char>(c));
  return true;
}

bool takeheader(VtpDecoder& d, unsigned char c) {
  bool closed;
  if (!collect(d, c, &closed)) return false;
  if (!closed) return true;
  bool encodingok = true;
  bool parsed = fields(d.header, [&](std::string_view key, std::string_view value) {
    if (key == "NB") {
      if (d.announced >= 0) return false;
      d.announced = fieldnumber(value, 10);
      return d.announced >= 0 && d.announced <= kMaxDecoded;
    }
    if (key == "ENC") encodingok = value == "B64";
    return true;
  });
  if (!parsed || !encodingok || d.announced < 0) return false;
  d.header.clear();
  d.state = kBody;
  return true;
}

bool takepad(VtpDecoder& d) {
  if (d.pads == 0) {
    // Only the last group may be short, and its unused bits are zero.
    if (d.quantum < 2 || d.bits != 0) return false;
    d.pads = 4 - d.quantum;
  }
  if (d.quantum == 0) return false;
  d.quantum = (d.quantum + 1) & 3;
  if (d.quantum == 0) {
    d.nbits = 0;
    d.pads = -1;  // group closed: only the trailer may follow
  }
  return true;
}

bool takebody(VtpDecoder& d, unsigned char c, Output& out) {
  uint8_t v = kClass[c];
  if (v < 64) {
    if (d.pads != 0) return false;
    d.bits = (d.bits << 6) | v;
    d.nbits += 6;
    d.quantum = (d.quantum + 1) & 3;
    if (d.nbits >= 8) {
      d.nbits -= 8;
      if (!out.put(static_cast<unsigned char>(d.bits >> d.nbits))) return false;
      d.bits &= (1u << d.nbits) - 1;
    }
    return true;
  }
  if (v == kSkip) return true;
  if (v == kPad) return takepad(d);
  if (v != kOpen || d.quantum != 0) return false;
  d.header.assign(1, '[');
  d.state = kTrailer;
  return true;
}

bool taketrailer(VtpDecoder& d, unsigned char c) {
  bool closed;
  if (!collect(d, c, &closed)) return false;
  if (!closed) return true;
  std::string_view text = d.header;
  if (text.substr(0, kEndMagic.size()) != kEndMagic) return false;
  bool parsed =
      fields(text.substr(kEndMagic.size()), [&](std::string_view key, std::string_view value) {
        if (key != "CRC32") return true;
        if (d.expected >= 0 || value.size() != 8) return false;
        d.expected = fieldnumber(value, 16);
        return d.expected >= 0;
      });
  if (!parsed || d.expected < 0) return false;
  d.header.clear();
  d.state = kDone;
  return true;
}

bool takebyte(VtpDecoder& d, unsigned char c, Output& out) {
  switch (d.state) {
    case kMagic: return takemagic(d, c);
    case kHeader: return takeheader(d, c);
    case kBody: return takebody(d, c, out);
    case kTrailer: return taketrailer(d, c);
    case kDone: return kClass[c] == kSkip;
    default: return false;
  }
}

}  // namespace

int VtpDecoder::feed(const char* data, std::size_t n, const VtpSink& sink) {
  Output out(*this, sink);
  const auto* bytes = reinterpret_cast<const unsigned char*>(data);
  for (std::size_t i = 0; i < n; ++i) {
    long long whole = takegroups(*this, bytes + i, n - i, out);
    if (whole >= 0) i += static_cast<std::size_t>(whole);
    if (whole < 0 || (i < n && !takebyte(*this, bytes[i], out))) {
      state = kFailed;
      return -1;
    }
  }
  if (!out.flush()) {
    state = kFailed;
    return -1;
  }
  return 0;
}

int VtpDecoder::finish() {
  if (state != kDone) return -1;
  if (static_cast<int64_t>(produced) != announced) return -1;
  if (static_cast<int64_t>(check) != expected) return -1;
  return 0;
}

int vtpdecodestring(std::string_view armour, std::string* out) {
  VtpDecoder d;
  std::string bytes;
  VtpSink sink = [&bytes](const char* p, std::size_t n) {
    bytes.append(p, n);
    return true;
  };
  if (d.feed(armour.data(), armour.size(), sink) < 0 || d.finish() < 0) return -1;
  *out = std::move(bytes);
  return 0;
}

}  // namespace trosk
