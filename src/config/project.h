// One followed project: how to reach its host and what the last run learnt
// about it. The project table holds the projects of the list file; the
// status codes and their words serve project entries and file entries alike.
#pragma once

#include <cstdint>
#include <deque>
#include <string>

namespace trosk {

inline constexpr int kNameSize = 64;
inline constexpr int kPathSize = 256;
inline constexpr int kUserSize = 128;
inline constexpr int kSuffixSize = 12;

// Status codes: the low five bits of ProjectEntry::status, and of the file
// entries of a project log.
inline constexpr int kStatusModified = 1;
inline constexpr int kStatusMissing = 2;
inline constexpr int kStatusSource = 3;
inline constexpr int kStatusOlder = 4;
inline constexpr int kStatusNewer = 5;

// The words of the status codes 1-5 ("modified" ... "newer"), then null: also
// the keyword list that status texts are matched against.
extern const char* const kStatusWords[];

// The project list file; it is looked for first without its leading '.'.
inline constexpr const char* kProjectListName = ".trosk_project.xml";

inline constexpr int kFingerprintSize = 65;  // 64 hex digits

struct ProjectEntry {
  char name[kNameSize] = {};
  char host[kPathSize] = {};
  char host2[kPathSize] = {};
  char localdir[kPathSize] = {};
  char platform[kNameSize] = {};
  char troskdir[kPathSize] = {};
  char access[kPathSize] = {};
  char user[kUserSize] = {};
  char suffix[kSuffixSize] = {};
  char signkey[kPathSize] = {};  // the key a writer signs the host with
  char trust[kFingerprintSize] = {};  // the fingerprint of the host key readers trust
  uint8_t status = 0;
  uint8_t release = 0;
  int8_t backup = -1;
  int32_t version = 0;
};

// The projects of the list file, in file order. A deque, so that appending
// never moves an entry that a run holds.
using ProjectTable = std::deque<ProjectEntry>;

// Index of the first entry whose name begins with `name` (case ignored), or
// -1 for an empty or missing name or no match.
int findproject(const ProjectTable& table, const char* name);

// One project's turn of a run: its list entry, and what the run resolved
// for it once from the settings and the entry, which every layer reads.
struct ProjectRun {
  explicit ProjectRun(ProjectEntry& e) : entry(e) {}

  ProjectEntry& entry;     // the list entry: what a saved list keeps
  std::string host;        // the host files are read from
  std::string hostroot;    // the direct path that adds and uploads write
  bool onhost2 = false;    // host2 is the host in use
  bool trustchanged = false;  // the run trusts another host key: the list records it
  int port = 0;            // 0 until the run has chosen one
  std::string user;        // checked against the catalogue's users
  std::string credential;  // "Authorization: Basic ..." or empty
  std::string troskdir;    // the host's directory of all projects
  int backup = 1;          // downloads back up the files they replace
  int release = 0;         // kReleaseStable, kReleaseBeta, kReleaseAlpha or 0
  int haveVersion = 0;     // the version and subversion the local log names
  int haveSubversion = 0;
  int32_t connection = 0;  // kept-open HTTP socket, 0 when none
  int notUpdated = 0;      // files the turn decided to transfer and could not

  // The credential as a fetch takes it: null when there is none.
  const char* credentialline() const { return credential.empty() ? nullptr : credential.c_str(); }
};

// The run trusts the host key with fingerprint `print`: the entry records
// it, and the list is to be saved when it changed.
void trusthostkey(ProjectRun& project, const std::string& print);

}  // namespace trosk
