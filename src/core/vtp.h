// VTP: the ASCII armour in which binary files travel and are stored on the
// host. "[VTP " key=value fields "]" and then the encoded bytes in short
// lines; the decoder takes the text chunk by chunk and refuses corruption.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

namespace trosk {

struct RunContext;

inline constexpr std::string_view kVtpMagic = "[VTP ";

// True when the text begins like VTP armour.
bool isvtp(std::string_view start);
// True when the file at `path` begins like VTP armour. Such a file is stored
// in armour itself, so that it decodes to its own bytes.
bool isvtpfile(const char* path);

// Encodes all of `in` onto `out`, stopping between blocks when the run `rc`
// (may be null) is cancelled. Returns the armoured bytes written, or -1 on
// a read or write failure or a stop.
long long vtpencode(FILE* in, FILE* out, const RunContext* rc = nullptr);
std::string vtpencodestring(std::string_view data);

// Receives decoded bytes; returns false to stop decoding.
using VtpSink = std::function<bool(const char*, std::size_t)>;

struct VtpDecoder {
  // Feeds armoured text (the header included). Returns 0, or -1 once the
  // armour is found corrupt (the decoder then stays failed).
  int feed(const char* data, std::size_t n, const VtpSink& sink);
  // Returns 0 when the armour was complete and every check matched.
  int finish();
  // The decoded size announced by "NB", -1 until the header was read.
  int64_t decodedsize() const { return announced; }

  int64_t announced = -1;
  // Implementation state.
  int state = 0;          // where in the armour the next byte falls
  std::string header;     // header or trailer text read so far (capped)
  uint32_t bits = 0;      // undecoded bits of the current group
  int nbits = 0;
  int quantum = 0;        // characters of the current 4-character group
  int pads = 0;           // 0, padding begun (> 0), or the last group closed (-1)
  uint64_t produced = 0;
  uint32_t check = 0;     // CRC-32 of the bytes produced so far
  int64_t expected = -1;  // check value announced by the trailer
};

// Decodes a whole armoured text. Returns 0 and the bytes, or -1.
int vtpdecodestring(std::string_view armour, std::string* out);

}  // namespace trosk
