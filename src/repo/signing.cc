#include "repo/signing.h"

#include <dirent.h>
#include <openssl/evp.h>
#include <unistd.h>
#include <openssl/pem.h>

#include <cstdio>
#include <vector>

#include "core/atomicfile.h"
#include "core/blockcopy.h"
#include "core/cause.h"
#include "core/output.h"
#include "repo/sha256.h"

namespace trosk {
namespace {

constexpr std::size_t kSignatureSize = 64;  // Ed25519
constexpr std::size_t kKeySize = 32;

struct BioFree {
  void operator()(BIO* b) const { BIO_free(b); }
};
struct CtxFree {
  void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};

std::string hex(const unsigned char* bytes, std::size_t n) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(2 * n);
  for (std::size_t i = 0; i < n; ++i) {
    out += kDigits[bytes[i] >> 4];
    out += kDigits[bytes[i] & 15];
  }
  return out;
}

int hexdigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool unhex(std::string_view text, unsigned char* out, std::size_t n) {
  if (text.size() != 2 * n) return false;
  for (std::size_t i = 0; i < n; ++i) {
    int hi = hexdigit(text[2 * i]), lo = hexdigit(text[2 * i + 1]);
    if (hi < 0 || lo < 0) return false;
    out[i] = static_cast<unsigned char>(hi << 4 | lo);
  }
  return true;
}

std::unique_ptr<EVP_PKEY, SigningKey::Free> readpublic(std::string_view pem) {
  std::unique_ptr<BIO, BioFree> bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
  if (!bio) return nullptr;
  std::unique_ptr<EVP_PKEY, SigningKey::Free> key(
      PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr));
  if (key && EVP_PKEY_id(key.get()) != EVP_PKEY_ED25519) key.reset();
  return key;
}

// The first two lines of a signature file, with their line ends: after a
// writer killed on the way, the text in place may be signed by either.
std::string firstlines(const std::string& text) {
  std::size_t end = text.find('\n');
  if (end != std::string::npos) end = text.find('\n', end + 1);
  if (end == std::string::npos) end = text.rfind('\n');
  return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

int writesignatures(RunContext& rc, const std::string& path, const std::string& lines) {
  AtomicFile out(rc, path.c_str());
  if (!out.stream() || std::fwrite(lines.data(), 1, lines.size(), out.stream()) != lines.size())
    return -2;
  return out.commit(true) < 0 ? -2 : 0;
}

bool islog(std::string_view name) {
  return name.size() > 4 && name.ends_with(".xml") && name.find(".trosk-") == std::string_view::npos;
}

// Signs every catalogue and log of the project directory and its version
// directories with `key`, keeping the signatures they had.
int resign(RunContext& rc, const SigningKey& key, const std::string& projectdir) {
  std::vector<std::string> dirs{projectdir};
  std::unique_ptr<DIR, int (*)(DIR*)> top(::opendir(projectdir.c_str()), &::closedir);
  if (!top) return 0;
  while (struct dirent* d = ::readdir(top.get())) {
    std::string name = d->d_name;
    if (name != "." && name != ".." && d->d_type == DT_DIR) dirs.push_back(projectdir + "/" + name);
  }
  for (const std::string& dir : dirs) {
    std::unique_ptr<DIR, int (*)(DIR*)> d(::opendir(dir.c_str()), &::closedir);
    while (struct dirent* e = d ? ::readdir(d.get()) : nullptr) {
      if (!islog(e->d_name)) continue;
      std::string path = dir + "/" + e->d_name;
      if (signbefore(rc, key, path, readwholefile(path)) < 0) return -2;
    }
  }
  return 0;
}

}  // namespace

void SigningKey::Free::operator()(evp_pkey_st* key) const { EVP_PKEY_free(key); }

SigningKey writerkey(RunContext& rc, const char* path) {
  SigningKey key;
  std::string why;
  if (path && path[0] && !loadsigningkey(path, &key, &why)) {
    setcause(rc, "%s", why.c_str());
    causederror(rc, "Signing key not usable: %s", path);
  }
  return key;
}

void requirekey(RunContext& rc, const SigningKey& key, const std::string& projectdir,
                const char* project) {
  if (key.key || ::access((projectdir + "/" + kSignerKeyName).c_str(), F_OK) != 0) return;
  errormsg(rc, "The host of project %s is signed: give its key with -sign", project);
}

bool loadsigningkey(const char* path, SigningKey* out, std::string* why) {
  std::unique_ptr<FILE, int (*)(FILE*)> in(std::fopen(path, "rb"), &std::fclose);
  if (!in) {
    *why = std::string("cannot read the signing key ") + path;
    return false;
  }
  out->key.reset(PEM_read_PrivateKey(in.get(), nullptr, nullptr, nullptr));
  if (!out->key || EVP_PKEY_id(out->key.get()) != EVP_PKEY_ED25519) {
    out->key.reset();
    *why = std::string(path) + " holds no Ed25519 private key in PEM";
    return false;
  }
  std::unique_ptr<BIO, BioFree> bio(BIO_new(BIO_s_mem()));
  char* text = nullptr;
  long length = 0;
  if (!bio || PEM_write_bio_PUBKEY(bio.get(), out->key.get()) != 1 ||
      (length = BIO_get_mem_data(bio.get(), &text)) <= 0) {
    *why = "the signing key's public half cannot be written";
    return false;
  }
  out->publicpem.assign(text, static_cast<std::size_t>(length));
  return true;
}

std::string keyfingerprint(std::string_view pem, std::string* why) {
  auto key = readpublic(pem);
  unsigned char raw[kKeySize];
  std::size_t length = sizeof raw;
  if (!key || EVP_PKEY_get_raw_public_key(key.get(), raw, &length) != 1 || length != kKeySize) {
    *why = "no Ed25519 public key";
    return {};
  }
  return sha256hex(sha256of(std::string_view(reinterpret_cast<const char*>(raw), length)));
}

std::string signatureline(const SigningKey& key, std::string_view bytes) {
  std::unique_ptr<EVP_MD_CTX, CtxFree> ctx(EVP_MD_CTX_new());
  unsigned char signature[kSignatureSize];
  std::size_t length = sizeof signature;
  if (!ctx || EVP_DigestSignInit(ctx.get(), nullptr, nullptr, nullptr, key.key.get()) != 1 ||
      EVP_DigestSign(ctx.get(), signature, &length,
                     reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()) != 1)
    return {};
  return hex(signature, length) + "\n";
}

bool signedby(std::string_view pem, std::string_view bytes, std::string_view signatures) {
  auto key = readpublic(pem);
  if (!key) return false;
  while (!signatures.empty()) {
    std::size_t end = signatures.find('\n');
    std::string_view line = signatures.substr(0, end);
    signatures.remove_prefix(end == std::string_view::npos ? signatures.size() : end + 1);
    unsigned char signature[kSignatureSize];
    if (!unhex(line, signature, sizeof signature)) continue;
    std::unique_ptr<EVP_MD_CTX, CtxFree> ctx(EVP_MD_CTX_new());
    if (ctx && EVP_DigestVerifyInit(ctx.get(), nullptr, nullptr, nullptr, key.get()) == 1 &&
        EVP_DigestVerify(ctx.get(), signature, sizeof signature,
                         reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()) == 1)
      return true;
  }
  return false;
}

int signbefore(RunContext& rc, const SigningKey& key, const std::string& target,
               std::string_view bytes) {
  std::string line = signatureline(key, bytes);
  if (line.empty()) return -2;
  std::string path = target + kSignatureEnding;
  return writesignatures(rc, path, line + firstlines(readwholefile(path)));
}

int signafter(RunContext& rc, const SigningKey& key, const std::string& target,
              std::string_view bytes) {
  std::string line = signatureline(key, bytes);
  if (line.empty()) return -2;
  std::string path = target + kSignatureEnding;
  if (readwholefile(path) == line) return 0;
  return writesignatures(rc, path, line);
}

int keepsigned(RunContext& rc, const std::string& target, std::string_view bytes,
               std::string_view pem) {
  std::string path = target + kSignatureEnding;
  std::string lines = readwholefile(path), kept;
  for (std::size_t at = 0; at < lines.size();) {
    std::size_t end = lines.find('\n', at);
    if (end == std::string::npos) end = lines.size() - 1;
    std::string_view line(lines.data() + at, end + 1 - at);
    if (signedby(pem, bytes, line)) kept.append(line);
    at = end + 1;
  }
  if (kept.empty() || kept == lines) return 0;
  return writesignatures(rc, path, kept);
}

int publishsigner(RunContext& rc, const SigningKey& key, const std::string& projectdir) {
  std::string path = projectdir + "/" + kSignerKeyName;
  if (readwholefile(path) == key.publicpem) return 0;
  if (resign(rc, key, projectdir) < 0) return -2;
  return writesignatures(rc, path, key.publicpem);
}

std::string ownfingerprint(const SigningKey& key) {
  std::string why;
  return keyfingerprint(key.publicpem, &why);
}

}  // namespace trosk
