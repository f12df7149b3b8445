// The run settings of one process: the RunSettings record and command flags
// word filled from the command line (every keyword may be abbreviated, most
// have a one-letter form), and the few global settings options change.
#pragma once

#include <cstdint>
#include <vector>

namespace trosk {

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
  int16_t dateOrder = 0;
  int16_t backup = -1;
  int16_t peerMode = 0;
  int32_t maxFiles = kMaxFiles;  // transfers in one run of a project; 0: no limit
  std::vector<const char*> addFiles;
  int32_t notUpdated = 0;  // files the run decided to transfer and could not
};

extern RunSettings runSettings;  // the one record of the process
extern int32_t promptLevel;      // 0 asks nothing but the large-file question
extern int32_t progressBar;
extern int32_t showMode;
extern const char* commentText;
extern const char* accessOption;

// promptLevel bits that remember "yes to all" and "no to all".
inline constexpr int32_t kPromptAllYes = 0x200;
inline constexpr int32_t kPromptAllNo = 0x400;

inline constexpr int kKeywordCount = 43;
inline constexpr int kMaxPort = 65535;

// Puts the global settings back to how a run starts (prompt level 1, the
// progress bar on, no display mode, no comment or access option, verbosity
// 0), so that one process can run many commands; parseoptions calls it first.
void resetoptions();

// Fills `settings` (and the global settings, reset first) from the argument
// vector and returns the command flags. A bad option ends the run with
// "TROSK error -- ..." (RunError, code -1); -help prints the banner and the
// help text and ends the run with code 0.
int parseoptions(RunSettings& settings, char** argv, int argc);

// Keyword number 1-43 of an option argument, 0 when it names none.
int getoption(const char* argument);

}  // namespace trosk
