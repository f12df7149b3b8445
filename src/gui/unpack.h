// Unpacking the archives a download brought into the working directory. An
// entry is written only inside it (no absolute name, no ".." step, no write
// through a symbolic link, no link that leads out, none of the tool's own
// files), and a file that exists is replaced only when the update question
// is answered yes. Every step is reported in the output.
#pragma once

#include <string>
#include <vector>

namespace trosk {

struct RunContext;

struct UnpackCount {
  int written = 0;
  int refused = 0;  // unsafe, or could not be written
  int kept = 0;     // an existing file the user kept
};

// True when the file is an archive the unpacker reads, whatever its name.
bool isarchive(const std::string& path);

// Unpacks the archive file into the working directory; `project` names the
// project whose own files no entry may replace.
UnpackCount unpackarchive(RunContext& rc, const std::string& archive, const std::string& project);

// Asks for each archive whether to unpack it, and unpacks those the user
// wants. "Yes to all" and "no to all" given before do not carry over.
// Returns the entries written.
int offerunpack(RunContext& rc, const std::vector<std::string>& archives,
                const std::string& project);

}  // namespace trosk
