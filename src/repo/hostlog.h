// Publishing a version's log on the host after files were stored in it, in
// an order that a kill at any point cannot break: the stored copies are
// flushed to disk first, then the frozen copy of the new subversion is
// written, then the version's current log; the log is written once, beside
// its target, and takes each name in one step. What an
// interrupted writer leaves behind is completed or removed by the next one.
#pragma once

#include <string>
#include <unordered_set>

#include "repo/logtable.h"
#include "repo/signing.h"
#include "xml/xmlnode.h"

namespace trosk {

struct RunContext;

// The working-directory file earlier writers staged a log in, removed when
// one was left behind.
inline constexpr const char* kStageFile = "stagefile.xml";

// Publishes `log` as subversion S of the version in `versiondir`: writes
// "trosk_<P>_<S>.xml", then replaces "trosk_<P>.xml" (one file under both
// names where the host can link). With `announce` each host file is named on
// the output before it is written. A file that cannot be written ends the run
// ("Error writing file: %s"). With a `key` (its `key` set), each host file
// is published signed. Returns 0.
int publishlog(RunContext& rc, XmlNode* log, const std::string& versiondir, const char* project,
               int subversion, bool announce, const SigningKey& key);

// What a version's current log says of the host files: its subversion and
// the stored copies its entries name.
struct PublishedLog {
  int subversion = 0;
  std::unordered_set<std::string> stored;
};
PublishedLog publishedof(XmlNode* log);
PublishedLog publishedof(const LogTable& log);  // read with kReadEntries

// Puts right what an interrupted writer left in version V, whose current
// log is `current` (as loaded from `versiondir`; null when the version has
// none yet, and then no file there is needed): the frozen copy of its
// subversion is written again when missing or different, frozen logs of
// later subversions, stored copies that no log names and temporary files
// are removed, and a missing version-log line for the subversion is added;
// in the working directory, a stage file and temporary files left by a
// killed writer are removed. On a signed host the two logs' signature files
// keep only the signatures the host's key made of their text, as after a
// whole publication.
// Called by a writer holding the host lock. Returns the files removed.
int repairversion(RunContext& rc, const std::string& projectdir, const std::string& versiondir,
                  const char* project, int version, const PublishedLog* current);

}  // namespace trosk
