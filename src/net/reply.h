// Reading one HTTP reply from bytes as they arrive: the header up to its
// blank line, the status, and the body framed by its length, by chunks, or by
// the end of the connection. However the bytes are split, the result is the same.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace trosk {

// Header (interim replies included) or trailer.
inline constexpr std::size_t kMaxReplyHeader = std::size_t{64} << 10;
inline constexpr std::size_t kMaxChunkLine = 4096;                      // size and extensions

// Receives body bytes; returns false to stop the reply.
using ReplySink = std::function<bool(const char*, std::size_t)>;

// Where the reader stands.
enum class ReplyStage {
  kHeader,     // reading the header
  kLength,     // body of an announced length
  kToClose,    // body that ends with the connection
  kChunkSize,  // chunk-size line
  kChunkData,  // chunk bytes
  kChunkEnd,   // line end after the chunk bytes
  kTrailer,    // trailer lines after the last chunk
  kDone,
  kFailed,
};

struct WebReply {
  // Consumes `data` up to the end of the header or of the reply, whichever
  // comes first, and passes body bytes to `sink`. Returns the bytes used
  // (fewer than n only at those two points), or -1 for a malformed or
  // oversized reply or when the sink refused (the reader then stays failed).
  long long feed(const char* data, std::size_t n, const ReplySink& sink);
  // The connection has ended. Returns 1 when the reply is complete (a body
  // without framing ends here), or -1 when it was cut short.
  int finish();

  bool headerdone() const { return stage != ReplyStage::kHeader; }
  bool done() const { return stage == ReplyStage::kDone; }
  // True when the connection can carry another request after this reply.
  bool reusable() const { return done() && keepalive && framed; }

  ReplyStage stage = ReplyStage::kHeader;
  std::string header;      // as received, blank line included
  int status = -1;         // -1 until a status line was read
  int64_t length = -1;     // "Content-Length: ", -1 when not announced
  bool chunked = false;
  bool keepalive = false;  // the server keeps the connection open
  bool framed = false;     // the body's end is known without the connection's end
  uint64_t received = 0;   // body bytes passed to the sink

 private:
  long long header_feed(const char* data, std::size_t n);
  int header_end();
  long long chunk_size(const char* data, std::size_t n);
  long long chunk_end(const char* data, std::size_t n);
  long long trailer(const char* data, std::size_t n);
  long long body(const char* data, std::size_t n, uint64_t limit, const ReplySink& sink);
  long long fail();

  std::size_t linelen_ = 0;  // bytes of the current line, CR not counted
  uint64_t remaining_ = 0;   // of the length or of the current chunk
  int digits_ = 0;           // hex digits of the chunk-size line
  int phase_ = 0;            // chunk-size line: 0 digits, 1 blanks, 2 extensions
  bool cr_ = false;          // a CR was seen where a line end may follow
  std::size_t extra_ = 0;    // bytes of the chunk line or of the trailer so far
  std::size_t interim_ = 0;  // bytes of interim (1xx) replies before the header
};

// Reads a status or "Content-Length: " value: blanks are skipped; a field
// that does not begin with a digit (or '.' and a digit) gives -1; otherwise
// the digits up to the first other byte ('.' first gives 0). -2 when the
// value does not fit in 62 bits.
int64_t web_number(const char* text, std::size_t n);

}  // namespace trosk
