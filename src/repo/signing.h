// Signatures on what a host publishes. A writer with an Ed25519 key signs
// each catalogue and project log as it publishes it, in a file beside it
// ("current.xml.sig"), and publishes its public key beside the catalogue
// ("signer.pem"); a reader checks every catalogue and log it fetches against
// the key it trusts, which it knows by the key's fingerprint.
#pragma once

#include <memory>
#include <string>
#include <string_view>

struct evp_pkey_st;

namespace trosk {

struct RunContext;

inline constexpr const char* kSignerKeyName = "signer.pem";
inline constexpr const char* kSignatureEnding = ".sig";

struct SigningKey {
  struct Free {
    void operator()(evp_pkey_st* key) const;
  };
  std::unique_ptr<evp_pkey_st, Free> key;
  std::string publicpem;  // what is published as the host's key
};

// The key a writer signs with: the one at `path`, or none (a null key) when
// `path` is empty. A key that cannot be used ends the run.
SigningKey writerkey(RunContext& rc, const char* path);

// A writer without a key must not publish unsigned logs on a signed host,
// which its readers would refuse: the run ends, naming the option.
void requirekey(RunContext& rc, const SigningKey& key, const std::string& projectdir,
                const char* project);

// Reads an Ed25519 private key in PEM. Returns false with the reason in
// `why` when the file cannot be read or holds no such key.
bool loadsigningkey(const char* path, SigningKey* out, std::string* why);

// The fingerprint of a public key in PEM: the SHA-256 of its 32 bytes, as
// 64 lower-case hex digits; "" with the reason in `why` when the text holds
// no Ed25519 public key.
std::string keyfingerprint(std::string_view pem, std::string* why);

// One line of a signature file: the signature of `bytes`, in hex.
std::string signatureline(const SigningKey& key, std::string_view bytes);

// Whether a line of the signature file `signatures` is a signature of
// `bytes` by the public key `pem`. A file replaced on the host carries the
// signatures of its old and its new text for as long as the two may be
// seen, so any one line serves.
bool signedby(std::string_view pem, std::string_view bytes, std::string_view signatures);

// Publishing signed: before `target` is replaced by `bytes`, its signature
// file gains the new text's signature (keeping the old one); once it is
// replaced, the file holds the new one alone. Readers thus find, whenever
// they look, a signature of the text they read. Returns 0, or -2 when the
// signature file cannot be written.
int signbefore(RunContext& rc, const SigningKey& key, const std::string& target,
               std::string_view bytes);
int signafter(RunContext& rc, const SigningKey& key, const std::string& target,
              std::string_view bytes);

// Keeps in the signature file of `target` only the lines that are
// signatures of its text `bytes` by the public key `pem`, when any is.
// Returns 0 or -2.
int keepsigned(RunContext& rc, const std::string& target, std::string_view bytes,
               std::string_view pem);

// Writes the key's public half as "signer.pem" in the project directory,
// unless it is there already. A host signed with another key before (or not
// at all) has each catalogue and log signed with this key first, beside the
// signatures it had, so that readers of either key find theirs. Returns 0
// or -2.
int publishsigner(RunContext& rc, const SigningKey& key, const std::string& projectdir);

// The fingerprint of the key's public half.
std::string ownfingerprint(const SigningKey& key);

}  // namespace trosk
