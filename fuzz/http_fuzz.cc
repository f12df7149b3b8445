// Feeds the HTTP reply reader with arbitrary bytes, whole and split into
// small reads: it must never misbehave, and the split must not change what
// the reply comes to.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "net/reply.h"

namespace {

struct Outcome {
  int result = 0;
  int status = -1;
  int64_t length = -1;
  bool reusable = false;
  std::string body;
  std::size_t unused = 0;

  bool operator==(const Outcome&) const = default;
};

Outcome read(const char* data, std::size_t size, std::size_t step) {
  trosk::WebReply reply;
  Outcome out;
  trosk::ReplySink sink = [&out](const char* p, std::size_t n) {
    out.body.append(p, n);
    return true;
  };
  for (std::size_t at = 0; at < size; at += step) {
    std::size_t n = size - at < step ? size - at : step;
    std::size_t used = 0;
    while (used < n && !reply.done()) {
      long long k = reply.feed(data + at + used, n - used, sink);
      if (k < 0) {
        out.result = -1;
        return out;
      }
      if (k == 0 && !reply.done()) std::abort();  // no progress: the reader would hang
      used += static_cast<std::size_t>(k);
    }
    out.unused += n - used;
  }
  out.result = reply.finish();
  out.status = reply.status;
  out.length = reply.length;
  out.reusable = reply.reusable();
  if (reply.received != out.body.size()) std::abort();
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  Outcome whole = read(text, size, size ? size : 1);
  Outcome split = read(text, size, 1 + size % 7);
  if (!(whole == split)) std::abort();
  return 0;
}
