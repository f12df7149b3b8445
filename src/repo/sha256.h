// SHA-256 of file contents: the strong hash a project log entry records
// beside its weak checksums, so that a copy altered to keep its size and
// sums is still told from the file that was stored.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

struct evp_md_ctx_st;

namespace trosk {

struct Sha256Digest {
  enum State : uint8_t {
    kNone,       // not recorded, or not computed
    kKnown,      // `bytes` holds it
    kMalformed,  // a log recorded a value that is no digest
  };
  std::array<unsigned char, 32> bytes{};
  State state = kNone;
};

// Takes a file's bytes block by block (large blocks: the processor's SHA
// instructions then run at the speed of memory).
class Sha256 {
 public:
  Sha256();
  void add(const void* data, std::size_t n);
  // The digest of everything added; kNone when the library failed.
  Sha256Digest finish();

 private:
  struct Free {
    void operator()(evp_md_ctx_st* ctx) const;
  };
  std::unique_ptr<evp_md_ctx_st, Free> ctx_;
  bool failed_ = false;
};

Sha256Digest sha256of(std::string_view bytes);
// The digest of the file at `path`, read in 1 MiB blocks. Returns 0, or -1
// when it cannot be read (the digest is then kNone).
int sha256file(const char* path, Sha256Digest* digest);

// 64 lower-case hex digits; "" for a digest that is not known.
std::string sha256hex(const Sha256Digest& digest);
// A recorded value: kKnown when it is 64 hex digits, else kMalformed.
Sha256Digest parsesha256(std::string_view text);
// Whether `recorded` names a digest that `actual` does not match. A value
// that is no digest matches nothing; none recorded differs from nothing.
bool digestdiffers(const Sha256Digest& recorded, const Sha256Digest& actual);

}  // namespace trosk
