// Publishing the host log of a new subversion after an upload: the version's
// current log and its frozen copy are each replaced in one step (written
// beside, then renamed), and the upload is entered in the version log.
#pragma once

#include "config/project.h"
#include "xml/xmlnode.h"

namespace trosk {

// Sets the log's "subversion" to S, stages it in "stagefile.xml", copies it
// over hostroot + remotepath and to hostroot/versionPath/trosk_<P>_<S>.xml,
// and appends "Upload new subversion" to the version log. Returns 0; a host
// file that cannot be written ends the run.
int writehostlogs(const ProjectEntry& entry, const char* hostroot, XmlNode* log,
                  const char* remotepath, int version, int subversion);

}  // namespace trosk
