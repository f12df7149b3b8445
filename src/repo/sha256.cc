#include "repo/sha256.h"

#include <openssl/evp.h>

#include <array>
#include <cstdint>
#include <cstdio>

namespace trosk {
namespace {

constexpr std::size_t kHashBlock = std::size_t{1} << 20;

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};

// Each byte's value as a hex digit, or -1: a digest is read without a
// branch that random digits would mispredict.
constexpr std::array<int8_t, 256> kHexValues = [] {
  std::array<int8_t, 256> values{};
  values.fill(-1);
  for (int c = 0; c < 10; ++c) values['0' + c] = static_cast<int8_t>(c);
  for (int c = 0; c < 6; ++c) {
    values['a' + c] = static_cast<int8_t>(10 + c);
    values['A' + c] = static_cast<int8_t>(10 + c);
  }
  return values;
}();

}  // namespace

void Sha256::Free::operator()(evp_md_ctx_st* ctx) const { EVP_MD_CTX_free(ctx); }

Sha256::Sha256() : ctx_(EVP_MD_CTX_new()) {
  failed_ = !ctx_ || EVP_DigestInit_ex(ctx_.get(), EVP_sha256(), nullptr) != 1;
}

void Sha256::add(const void* data, std::size_t n) {
  if (!failed_ && n > 0) failed_ = EVP_DigestUpdate(ctx_.get(), data, n) != 1;
}

Sha256Digest Sha256::finish() {
  Sha256Digest digest;
  unsigned int length = 0;
  if (!failed_ && EVP_DigestFinal_ex(ctx_.get(), digest.bytes.data(), &length) == 1 &&
      length == digest.bytes.size()) {
    digest.state = Sha256Digest::kKnown;
  }
  failed_ = true;  // a context is finished once
  return digest;
}

Sha256Digest sha256of(std::string_view bytes) {
  Sha256 hash;
  hash.add(bytes.data(), bytes.size());
  return hash.finish();
}

int sha256file(const char* path, Sha256Digest* digest) {
  *digest = Sha256Digest{};
  std::unique_ptr<FILE, FileCloser> in(std::fopen(path, "rb"));
  if (!in) return -1;
  auto block = std::make_unique_for_overwrite<char[]>(kHashBlock);
  Sha256 hash;
  std::size_t got;
  while ((got = std::fread(block.get(), 1, kHashBlock, in.get())) > 0) hash.add(block.get(), got);
  if (std::ferror(in.get())) return -1;
  *digest = hash.finish();
  return digest->state == Sha256Digest::kKnown ? 0 : -1;
}

std::string sha256hex(const Sha256Digest& digest) {
  if (digest.state != Sha256Digest::kKnown) return {};
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text(2 * digest.bytes.size(), '0');
  for (std::size_t i = 0; i < digest.bytes.size(); ++i) {
    text[2 * i] = kDigits[digest.bytes[i] >> 4];
    text[2 * i + 1] = kDigits[digest.bytes[i] & 0xF];
  }
  return text;
}

Sha256Digest parsesha256(std::string_view text) {
  Sha256Digest digest;
  digest.state = Sha256Digest::kMalformed;
  if (text.size() != 2 * digest.bytes.size()) return digest;
  int bad = 0;
  for (std::size_t i = 0; i < digest.bytes.size(); ++i) {
    int high = kHexValues[static_cast<unsigned char>(text[2 * i])];
    int low = kHexValues[static_cast<unsigned char>(text[2 * i + 1])];
    bad |= high | low;  // negative once any digit is not one
    digest.bytes[i] = static_cast<unsigned char>(high << 4 | low);
  }
  if (bad < 0) return digest;
  digest.state = Sha256Digest::kKnown;
  return digest;
}

bool digestdiffers(const Sha256Digest& recorded, const Sha256Digest& actual) {
  if (recorded.state == Sha256Digest::kNone) return false;
  return recorded.state != Sha256Digest::kKnown || actual.state != Sha256Digest::kKnown ||
         recorded.bytes != actual.bytes;
}

}  // namespace trosk
