// Reading a host file: by direct path when the host is a local path, over
// HTTP or HTTPS GET otherwise; into memory or into a file (replaced only when
// the download is complete), with VTP decoding on request. A fetch that
// fails records why in the run's cause: printcause() tells the user. A run
// asked to stop ends its fetch within a fraction of a second.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/cause.h"
#include "net/http.h"
#include "xml/xmlnode.h"

namespace trosk {

class Pipeline;
struct NetRun;
struct RunContext;

// Where a file is read from.
struct Remote {
  const char* host = nullptr;        // a direct path, or a web host text (see webhost.h)
  int port = 0;                      // 0: from the host text (https: 443), else 80
  const char* credential = nullptr;  // "Authorization: Basic ..." line, or null
  int32_t* connection = nullptr;     // kept-open socket holder, or null
  NetRun* net = nullptr;             // the run's transport; a web host needs it
  Pipeline* ahead = nullptr;         // requests sent ahead of the reads, or null
};

// getfile flags (the HTTP request bits where they overlap).
inline constexpr int kFetchKeepHeader = 0x002;  // keep the HTTP header in front of the body
inline constexpr int kFetchNegStatus = 0x004;   // status >= 300 gives its negative
inline constexpr int kFetchToFile = 0x008;      // store into `destfile`
inline constexpr int kFetchDecode = 0x010;      // decode VTP armour
inline constexpr int kFetchMakeDirs = 0x200;    // make the destination's directories
// With kFetchToFile: `destfile` is a temporary name of the caller's own,
// created and written directly (no second temporary file and rename); the
// caller removes it when the fetch fails.
inline constexpr int kFetchInPlace = 0x400;
// With kFetchToFile: `body` receives a copy of what was written, up to
// kFetchCopyLimit bytes (empty when the file is larger), so that it can be
// measured without reading it back.
inline constexpr int kFetchKeepCopy = 0x800;
inline constexpr std::size_t kFetchCopyLimit = kWebCopyLimit;
inline constexpr int kFetchDownload = 0x21c;    // what a download passes

// The result of a fetch that the run's stop request ended.
inline constexpr int kFetchCancelled = -3;

// Reads `path` (below the host root; a path without a leading '/' is taken
// relative to it too) into `body` or, with kFetchToFile, into `destfile`.
// Returns the body length, or a negative code: -1 not found or unreadable,
// -2 destination not writable, kFetchCancelled, -N an HTTP status N >= 300.
// The cause of a failure is recorded; each fetch begins by forgetting the
// last one. The bytes of a body stored in a file count as the progress of
// the file in hand.
long long getfile(RunContext& rc, const Remote& remote, const char* path, int flags,
                  std::string* body, const char* destfile);

// Names the files the run is about to read from a web host with `remote`
// (paths as getfile takes them), in the order it will read them, so that
// their requests go ahead of the reads, as many in flight as the run's
// transport allows. Nothing is planned for a directory host.
void planfetches(const Remote& remote, const std::vector<std::string>& paths);

// Fetches and parses an XML file: 1, or the negative getfile result, or -2
// when the text is not parsable XML.
int getxml(RunContext& rc, const Remote& remote, const char* path, XmlDocument& doc);
// Releases a fetched document. Returns 0.
int freedoc(XmlDocument& doc);

// Closes a kept-open connection of the run and clears the holder. Returns 0.
int closeconnection(RunContext& rc, NetRun& net, int32_t* connection);

}  // namespace trosk
