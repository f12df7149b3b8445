#include "sync/hosttrust.h"

#include <cstring>

#include "core/cause.h"
#include "core/output.h"
#include "core/runcontext.h"
#include "core/strutil.h"
#include "repo/signing.h"

namespace trosk {
namespace {

[[noreturn]] void refuse(RunContext& rc, const std::string& path, const std::string& why) {
  clearcause(rc);
  setcause(rc, "%s", why.c_str());
  causederror(rc, "Refused host file: %s", path.c_str());
}

// Only y or Y: a key is never taken on an empty or stray answer.
bool explicitlyyes(int answer) { return answer == 1 || answer == 3; }

// The front end's own question, or else the text one.
bool trusted(RunContext& rc, const KeyQuestion& q, const std::string& text) {
  KeyAnswer answer = rc.frontend.trustkey(q);
  if (answer == KeyAnswer::kAsk) return explicitlyyes(askuser(rc, text.c_str(), nullptr, "ynYN"));
  return answer == KeyAnswer::kTrust;
}

}  // namespace

std::string trusthost(RunContext& rc, const Remote& remote, const std::string& projectpath,
                      ProjectRun& project, const char* trustprint) {
  ProjectEntry& entry = project.entry;
  std::string keypath = projectpath + "/" + kSignerKeyName;
  std::string pem;
  long long got = getfile(rc, remote, keypath.c_str(), kFetchNegStatus, &pem, nullptr);
  if (got < 0) {
    bool absent = got == -1 || got == -404;
    const char* trusted = trustprint ? trustprint : entry.trust;
    if (trusted[0] && absent)
      refuse(rc, keypath, std::string("the host has no signing key, but key ") + trusted + " is trusted");
    if (trusted[0]) causederror(rc, "Error reading remote file: %s", keypath.c_str());
    // A host that cannot be read at all says so at the files the run needs.
    if (absent) printmsg(rc, "Host is unsigned: no signing key for project %s\n", entry.name);
    clearcause(rc);
    return {};
  }
  std::string why;
  std::string print = keyfingerprint(pem, &why);
  if (print.empty()) refuse(rc, keypath, why);
  SigningKey own = writerkey(rc, entry.signkey);
  if (own.key && ownfingerprint(own) == print) {
    // The key this run signs with.
  } else if (trustprint) {
    if (std::strlen(trustprint) != print.size() ||
        strncmpi(print.c_str(), trustprint, print.size()) != 0)
      refuse(rc, keypath, "the host's key " + print + " is not the one -trust names");
  } else if (!entry.trust[0]) {
    std::string question = std::string("Project ") + entry.name +
                           ": the host is signed by the key with fingerprint\n  " + print +
                           "\nTrust this key (y/n)? ";
    if (!trusted(rc, KeyQuestion{entry.name, print, {}}, question))
      refuse(rc, keypath, "its key " + print + " is not trusted");
  } else if (print != entry.trust) {
    std::string question = std::string("Project ") + entry.name +
                           ": the host's signing key has changed.\n  trusted: " + entry.trust +
                           "\n  now:     " + print + "\nTrust the new key (y/n)? ";
    if (!trusted(rc, KeyQuestion{entry.name, print, entry.trust}, question))
      refuse(rc, keypath, "signed with another key than the trusted one (" + print + ")");
  }
  trusthostkey(project, print);
  return pem;
}

void checksigned(RunContext& rc, const Remote& remote, const char* path, std::string_view bytes,
                 std::string_view signer) {
  std::string sigpath = std::string(path) + kSignatureEnding;
  std::string signatures;
  if (getfile(rc, remote, sigpath.c_str(), kFetchNegStatus, &signatures, nullptr) < 0)
    refuse(rc, path, "its signature is missing (" + sigpath + ")");
  if (!signedby(signer, bytes, signatures))
    refuse(rc, path, "its signature is invalid or made by another key than the trusted one");
}

}  // namespace trosk
