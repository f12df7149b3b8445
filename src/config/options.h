// The settings of one run: the RunSettings record and command flags word
// filled from the command line (every keyword may be abbreviated, most have
// a one-letter form), or by a window's dialogs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace trosk {

struct RunContext;

// Command flags word.
inline constexpr int CMD_DOWNLOAD = 0x0001;
inline constexpr int CMD_REPORT_ONLY = 0x0002;
inline constexpr int CMD_INIT = 0x0004;
inline constexpr int CMD_STATUS = 0x0008;
inline constexpr int CMD_VERIFY = 0x0020;
inline constexpr int CMD_ENCODE = 0x0040;
inline constexpr int CMD_NO_DECODE = 0x0080;
inline constexpr int CMD_CURRENT = 0x0100;
inline constexpr int CMD_ZIP = 0x0200;
inline constexpr int CMD_LIST_ALL = 0x0400;
inline constexpr int CMD_HIDDEN = 0x0800;
inline constexpr int CMD_DISPLAY = 0x1000;
inline constexpr int CMD_UPLOAD = 0x2000;
inline constexpr int CMD_BACKUP = 0x4000;  // added by the synchronisation run

// showMode bits.
inline constexpr int SHOW_VERSIONS = 1;
inline constexpr int SHOW_LOG = 2;
inline constexpr int SHOW_DUMP = 4;
inline constexpr int SHOW_WEBHDR = 8;

// Release levels.
inline constexpr int kReleaseStable = 1;
inline constexpr int kReleaseBeta = 2;
inline constexpr int kReleaseAlpha = 4;

// Transfers in one run of a project unless -maxfiles says otherwise.
inline constexpr int kMaxFiles = 400;

struct RunSettings {
  const char* projectName = nullptr;
  const char* hostName = nullptr;
  const char* localHost = nullptr;
  const char* userName = nullptr;
  const char* localLogName = nullptr;
  const char* catalogueName = nullptr;
  const char* accessToken = nullptr;
  const char* remoteDir = nullptr;
  const char* platform = nullptr;
  const char* suffix = nullptr;
  const char* caFile = nullptr;  // -cacert: trusted for https hosts besides the system's
  const char* signKey = nullptr;     // -sign: the Ed25519 key (PEM) a writer signs with
  const char* trustPrint = nullptr;  // -trust: the fingerprint of the host key to trust
  int32_t port = 0;
  int32_t version = 0;
  int32_t subversion = 0;
  int32_t current[3] = {0, 0, 0};
  int32_t projectCount = 0;
  int32_t addCount = 0;
  int16_t listChanged = 0;
  int16_t release = 0;
  int16_t currentMask = 0;
  int16_t noVerify = 0;
  int16_t source = 0;
  int16_t backup = -1;
  int16_t peerMode = 0;
  int32_t maxFiles = kMaxFiles;  // transfers in one run of a project; 0: no limit
  int32_t pipeline = 0;          // -pipeline: requests in flight to a web host; 0: the default
  std::vector<const char*> addFiles;
  int32_t progressBar = 1;         // 0: -nobar
  int32_t showMode = 0;            // SHOW_* bits
  const char* commentText = nullptr;   // -comment
  const char* accessOption = nullptr;  // -access as given
  std::string userEnv;             // the USER environment variable, at most 63 characters
};

inline constexpr int kKeywordCount = 46;
inline constexpr int kMaxPipeline = 64;
inline constexpr int kMaxPort = 65535;

// Fills `settings` (begun afresh) from the argument vector and returns the
// command flags; -prompt and -verbose set the run's prompt and verbosity
// levels. A bad option ends the run with "TROSK error -- ..." (RunError,
// code -1); -help prints the banner and the help text and ends the run with
// code 0.
int parseoptions(RunContext& rc, RunSettings& settings, char** argv, int argc);

// Keyword number 1-46 of an option argument, 0 when it names none.
int getoption(const char* argument);

}  // namespace trosk
