// One followed project: how to reach its host and what the last run learnt
// about it. The project table holds the projects of the list file.
#pragma once

#include <cstdint>
#include <deque>

namespace trosk {

inline constexpr int kNameSize = 64;
inline constexpr int kPathSize = 256;
inline constexpr int kUserSize = 128;
inline constexpr int kSuffixSize = 12;

// Low five bits of ProjectEntry::status.
inline constexpr int kStatusModified = 1;
inline constexpr int kStatusMissing = 2;
inline constexpr int kStatusSource = 3;
inline constexpr int kStatusOlder = 4;
inline constexpr int kStatusNewer = 5;
inline constexpr int kStatusHost2 = 0x20;  // host2 is the host in use

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

}  // namespace trosk
