// One followed project: how to reach its host and what the last run learnt
// about it. The project table holds the projects of the list file; the
// status codes and their words serve project entries and file entries alike.
#pragma once

#include <cstdint>
#include <deque>

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
inline constexpr int kStatusHost2 = 0x20;  // host2 is the host in use

// The words of the status codes 1-5 ("modified" ... "newer"), then null: also
// the keyword list that status texts are matched against.
extern const char* const kStatusWords[];

// The project list file; it is looked for first without its leading '.'.
inline constexpr const char* kProjectListName = ".trosk_project.xml";

struct ProjectEntry {
  char name[kNameSize] = {};
  char host[kPathSize] = {};
  char host2[kPathSize] = {};
  char localdir[kPathSize] = {};
  char platform[kNameSize] = {};
  char troskdir[kPathSize] = {};
  char access[kPathSize] = {};
  char user[kUserSize] = {};
  const char* hostPath = nullptr;    // host in use; normally `host`
  const char* authHeader = nullptr;  // "Authorization: Basic ..." or null
  char suffix[kSuffixSize] = {};
  uint8_t status = 0;
  uint8_t release = 0;
  int8_t backup = -1;
  int16_t port = 0;
  int32_t version = 0;
  int32_t subversion = 0;
  int32_t connection = 0;  // kept-open HTTP socket, 0 when none
};

// The projects of the list file, in file order. A deque, so that appending
// never moves an entry (hostPath may point into its own entry).
extern std::deque<ProjectEntry> projectTable;
extern char userEnv[kNameSize];  // the USER environment variable

// Index of the first entry whose name begins with `name` (case ignored), or
// -1 for an empty or missing name or no match.
int findproject(const char* name);

}  // namespace trosk
