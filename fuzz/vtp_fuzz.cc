// Fuzz target for the VTP decoder: any text must decode (or fail) without a
// fault, the same whether it arrives whole or in pieces and whether the
// decoder runs alone or inside a fetched body; what it decodes must encode
// and decode back to itself, and so must any bytes taken as a file.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/runcontext.h"
#include "core/vtp.h"
#include "net/webbody.h"

namespace {

using namespace trosk;

struct Outcome {
  int result = 0;
  std::string bytes;
  bool operator==(const Outcome&) const = default;
};

Outcome decode(std::string_view text, std::size_t step) {
  VtpDecoder d;
  Outcome out;
  VtpSink sink = [&out](const char* p, std::size_t n) {
    out.bytes.append(p, n);
    return true;
  };
  for (std::size_t at = 0; at < text.size() && out.result == 0; at += step) {
    out.result = d.feed(text.data() + at, std::min(step, text.size() - at), sink);
  }
  if (out.result == 0) out.result = d.finish();
  if (out.result == 0 && static_cast<int64_t>(out.bytes.size()) != d.decodedsize()) std::abort();
  if (out.result != 0) out.bytes.clear();
  return out;
}

// The engine's messages stay out of the output file: a target writes no files.
trosk::RunContext& context() {
  static trosk::QuietFrontend quiet;
  static trosk::RunContext rc(quiet);
  rc.output.tofile = false;
  return rc;
}

// The same text as a fetched body that may hold armour.
Outcome asbody(std::string_view text, std::size_t step) {
  WebBody body(context());
  std::string stored;
  body.open(&stored, nullptr, true);
  for (std::size_t at = 0; at < text.size(); at += step) {
    if (!body.take(text.data() + at, std::min(step, text.size() - at))) break;
  }
  Outcome out;
  out.result = body.close();
  if (out.result == 0) out.bytes = stored;
  return out;
}

// A decoder whose sink refuses stays failed.
void refused(std::string_view text) {
  VtpDecoder d;
  VtpSink no = [](const char*, std::size_t) { return false; };
  if (d.feed(text.data(), text.size(), no) == 0) return;
  VtpSink yes = [](const char*, std::size_t) { return true; };
  if (d.feed("\n", 1, yes) == 0 || d.finish() == 0) std::abort();
}

// Pieces of 1 to `spread` bytes split small texts at every place; large
// ones are cut into at most 64 pieces, to keep the inputs per second up.
std::size_t piece(std::size_t size, std::size_t spread) {
  return std::max(1 + size % spread, size / 64);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  Outcome whole = decode(text, size ? size : 1);
  if (!(decode(text, piece(size, 13)) == whole)) std::abort();
  if (isvtp(text) && !(asbody(text, piece(size, 5)) == whole)) std::abort();
  if (!isvtp(text) && asbody(text, piece(size, 5)).bytes != text) std::abort();
  if (whole.result == 0) {
    Outcome again = decode(vtpencodestring(whole.bytes), 4096);
    if (again.result != 0 || again.bytes != whole.bytes) std::abort();
  }
  Outcome file = decode(vtpencodestring(text), piece(size, 61));
  if (file.result != 0 || file.bytes != text) std::abort();
  refused(text);
  return 0;
}
