#include "config/options.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "config/banner.h"
#include "core/output.h"
#include "core/runcontext.h"
#include "core/runerror.h"
#include "core/strutil.h"

namespace trosk {

namespace {

enum Keyword {
  kAdd = 1, kAlpha, kBeta, kCurrent, kDecode, kDirectory, kEncode, kHelp, kHost, kInit,
  kLog, kPlatform, kPort, kPrompt, kRemotedir, kStatus, kShow, kText, kDownload, kUpload,
  kUser, kVersion, kVerbose, kWebhdr, kDump, kStable, kSource, kMdy, kDmy, kVerify,
  kBackup, kNobar, kSubversion, kComment, kAccess, kLocalhost, kSuffix, kClient, kServer,
  kZip, kTempdir, kCacert, kMaxfiles, kSign, kTrust, kPipeline,
};

const char* const kKeywords[] = {
    "add",    "alpha",   "beta",      "current", "decode",  "directory", "encode",
    "help",   "host",    "init",      "log",     "platform", "port",     "prompt",
    "remotedir", "status", "show",    "text",    "download", "upload",   "user",
    "version", "verbose", "webhdr",   "dump",    "stable",  "source",    "mdy",
    "dmy",    "verify",  "backup",    "nobar",   "subversion", "comment", "access",
    "localhost", "suffix", "client",  "server",  "zip",     "tempdir",   "cacert",
    "maxfiles", "sign",    "trust",     "pipeline", nullptr,
};
static_assert(sizeof kKeywords / sizeof kKeywords[0] == kKeywordCount + 1);

// Position i holds the one-letter form of keyword i + 1; '-' marks none.
constexpr const char* kLetters = "aABcdDehHiL-PpRsSt-uUvVWX--------C--------";
constexpr std::size_t kMaxKeywordLength = 30;

// Walks the argument vector on behalf of one option.
struct Cursor {
  RunContext& rc;
  char** argv;
  int argc;
  int i;  // index of the option being handled
  const char* current;  // the option, or the value it consumed

  bool hasnext() const { return i + 1 < argc; }
  const char* peek() const { return argv[i + 1]; }
  const char* take() {
    current = argv[++i];
    return current;
  }
  // A value: the next argument unless it is another option.
  const char* value() { return hasnext() && peek()[0] != '-' ? take() : nullptr; }
  // Anything that follows, options included.
  const char* anything() { return hasnext() ? take() : nullptr; }
  // An optional number, or `absent`.
  int number(int absent) { return hasnext() && isnumber(peek()) ? std::atoi(take()) : absent; }
};

void unrecognized(RunContext& rc, const char* argument) {
  errormsg(rc, "Unrecognized option: %s", argument);
}

const char* required(Cursor& c, const char* message) {
  const char* v = c.value();
  if (!v) errormsg(c.rc, message);
  return v;
}

// A count of files: digits only; a count beyond an int is no limit either.
int32_t filecount(Cursor& c) {
  if (!c.hasnext() || isnumber(c.peek()) != 1) errormsg(c.rc, "invalid number of files: %s", c.current);
  long long n = std::strtoll(c.take(), nullptr, 10);
  return n > INT32_MAX ? INT32_MAX : static_cast<int32_t>(n);
}

// Requests in flight: 1 up to kMaxPipeline; more is taken as the most.
int32_t requestcount(Cursor& c) {
  if (!c.hasnext() || isnumber(c.peek()) != 1 || std::strtoll(c.peek(), nullptr, 10) < 1)
    errormsg(c.rc, "invalid number of requests: %s", c.current);
  long long n = std::strtoll(c.take(), nullptr, 10);
  return n > kMaxPipeline ? kMaxPipeline : static_cast<int32_t>(n);
}

void setdownload(Cursor& c, int& flags, RunSettings& s) {
  int n = c.number(-1);
  flags |= CMD_DOWNLOAD;
  s.noVerify = n == 0 ? 1 : 0;
}

int applyoption(int keyword, Cursor& c, RunSettings& s) {
  int flags = 0;
  switch (keyword) {
    case kAdd:
      flags |= CMD_UPLOAD;
      while (c.hasnext() && c.peek()[0] != '-') s.addFiles.push_back(c.take());
      s.addCount = static_cast<int32_t>(s.addFiles.size());
      break;
    case kAlpha: s.release = kReleaseAlpha; break;
    case kBeta: s.release = kReleaseBeta; break;
    case kCurrent:
      flags |= CMD_UPLOAD | CMD_CURRENT | CMD_INIT;
      for (int k = 0; k < 3 && c.hasnext() && c.peek()[0] != '-' && isnumber(c.peek()); ++k) {
        s.current[k] = std::atoi(c.take());
        s.currentMask = static_cast<int16_t>(s.currentMask | (1 << k));
      }
      break;
    case kDecode: flags |= CMD_NO_DECODE; break;
    case kDirectory: required(c, "missing local dir name"); break;  // accepted, without effect
    case kEncode: flags |= CMD_ENCODE; break;
    case kHelp:
      showbanner(c.rc);
      showhelp(c.rc);
      throw RunError(0, "");
    case kHost: s.hostName = required(c, "missing hostname"); break;
    case kInit: flags |= CMD_INIT; break;
    case kLog: flags |= CMD_DISPLAY; s.showMode |= SHOW_LOG; break;
    case kPlatform: s.platform = required(c, "missing platform name"); break;
    case kPort:
      s.port = c.number(-1);
      if (s.port <= 0 || s.port > kMaxPort) errormsg(c.rc, "invalid port number: %s", c.current);
      break;
    case kPrompt:
      if (int n = c.number(-1); n >= 0) c.rc.promptLevel = n;
      break;
    case kRemotedir:
      s.remoteDir = c.anything();
      if (!s.remoteDir) errormsg(c.rc, "missing remote trosk dir name");
      break;
    case kStatus: {
      int n = c.number(0);
      flags |= CMD_STATUS;
      if (n & 1) flags |= CMD_LIST_ALL;
      if (n & 2) flags |= CMD_REPORT_ONLY;
      if (n & 4) flags |= CMD_HIDDEN;
      break;
    }
    case kShow: flags |= CMD_DISPLAY; s.showMode |= SHOW_VERSIONS; break;
    case kText: unrecognized(c.rc, c.current); break;
    case kDownload: setdownload(c, flags, s); break;
    case kUpload:
      flags |= CMD_UPLOAD;
      setdownload(c, flags, s);
      break;
    case kUser: s.userName = required(c, "missing user name"); break;
    case kVersion: {
      const char* v = c.anything();
      s.version = v ? parsevers(v, &s.subversion) : -1;
      if (s.version <= 0) errormsg(c.rc, "invalid version number: %s", c.current);
      break;
    }
    case kVerbose:
      if (c.hasnext() && isnumber(c.peek())) {
        c.rc.verboseLevel = static_cast<int16_t>(std::atoi(c.take()));
      } else {
        flags |= CMD_LIST_ALL;
      }
      break;
    case kWebhdr: s.showMode |= SHOW_WEBHDR; break;
    case kDump: flags |= CMD_DISPLAY; s.showMode |= SHOW_DUMP; break;
    case kStable: s.release = kReleaseStable; break;
    case kSource: s.source = c.number(-1) != 0 ? 1 : -1; break;
    case kMdy: c.rc.dateOrder = 0; break;
    case kDmy: c.rc.dateOrder = 1; break;
    case kVerify: flags |= CMD_VERIFY; s.noVerify = 0; break;
    case kBackup: s.backup = static_cast<int16_t>(c.number(1)); break;
    case kNobar: s.progressBar = 0; break;
    case kSubversion:
      s.subversion = c.number(-1);
      if (s.subversion <= 0) errormsg(c.rc, "invalid subversion number: %s", c.current);
      break;
    case kComment: s.commentText = c.anything(); break;
    case kAccess: {
      const char* v = c.value();
      s.accessOption = v ? v : "0";
      break;
    }
    case kLocalhost: s.localHost = required(c, "missing hostname"); break;
    case kSuffix: s.suffix = c.anything(); break;
    case kClient: s.peerMode = 1; break;
    case kServer: s.peerMode = 2; break;
    case kZip: flags |= CMD_ZIP; break;
    case kTempdir: c.anything(); break;  // accepted, without effect
    case kCacert: s.caFile = required(c, "missing certificate authority file"); break;
    case kMaxfiles: s.maxFiles = filecount(c); break;
    case kSign: s.signKey = required(c, "missing signing key file"); break;
    case kTrust: s.trustPrint = required(c, "missing key fingerprint"); break;
    case kPipeline: s.pipeline = requestcount(c); break;
    default: unrecognized(c.rc, c.current);
  }
  return flags;
}

}  // namespace

int getoption(const char* argument) {
  const char* rest = argument[0] == '-' ? argument + 1 : argument;
  if (rest[0] == '?') return kHelp;
  if (rest[0] != '\0' && rest[1] == '\0') {
    if (rest[0] == '-') return 0;  // '-' fills the places of keywords without a letter
    return findletter(rest[0], kLetters) + 1;
  }
  char word[kMaxKeywordLength + 1];
  copystr(rest, word, kMaxKeywordLength);
  lowerstr(word);
  return findkey(word, kKeywords) + 1;
}

int parseoptions(RunContext& rc, RunSettings& settings, char** argv, int argc) {
  settings = RunSettings{};
  int flags = 0;
  int i = 1;
  if (argc >= 2 && argv[1][0] != '-') {
    settings.projectName = argv[1];
    i = 2;
  }
  for (; i < argc; ++i) {
    const char* argument = argv[i];
    int keyword = argument[0] == '-' ? getoption(argument) : 0;
    if (keyword < 1 || keyword > kKeywordCount) unrecognized(rc, argument);
    Cursor c{rc, argv, argc, i, argument};
    flags |= applyoption(keyword, c, settings);
    i = c.i;
  }
  return flags;
}

}  // namespace trosk
