// Publishing a version's log on the host after files were stored in it: the
// stored copies are flushed to disk first, then the log goes through the
// stage file in the working directory to the version's current log and to
// the frozen copy of its subversion, each replaced in one step.
#pragma once

#include <string>

#include "xml/xmlnode.h"

namespace trosk {

inline constexpr const char* kStageFile = "stagefile.xml";

// Publishes `log` as subversion S of the version in `versiondir`: replaces
// "trosk_<P>.xml" there and writes "trosk_<P>_<S>.xml". With `announce`
// each host file is named on the output before it is written. The stage
// file is removed however this ends; a file that cannot be written ends the
// run ("Error writing file: %s"). Returns 0.
int publishlog(XmlNode* log, const std::string& versiondir, const char* project, int subversion,
               bool announce);

}  // namespace trosk
