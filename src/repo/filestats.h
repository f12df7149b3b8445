// Measuring files: size, byte sum, parity, rotating check, modification
// stamp and version tag; comparing two measurements; date texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string_view>

#include "repo/sha256.h"

namespace trosk {

struct RunContext;

struct FileStats {
  int16_t parity = 0;    // XOR of all bytes; -1 when the file cannot be opened
  int16_t crc = 0;       // 8-bit rotating check
  int32_t checksum = 0;  // sum of all bytes modulo 2^32
  int64_t size = 0;      // bytes; 64-bit, so files of any size are exact
  int32_t date = 0;      // YYYYMMDD, local time
  int32_t time = 0;      // HHMMSS, local time
  float version = 0;     // number after "VERSIONTAG=", 0 when none
  // Of the file's own bytes (before any armour). Computed only when a
  // measurement asks for it (kStatsSha256): a status never hashes.
  Sha256Digest sha256;
};

// File kinds.
inline constexpr int kFileEmpty = 0;
inline constexpr int kFileText = 1;
inline constexpr int kFileBinary = 2;
inline constexpr int kFileExistsEmpty = 3;

// filestats flags.
inline constexpr int kStatsSizeOnly = 4;
inline constexpr int kStatsSha256 = 8;  // the SHA-256 too, in the same read

// Comparison bits of cmpchecks.
inline constexpr int kSameSize = 0x001;
inline constexpr int kSameChecksum = 0x002;
inline constexpr int kSameCrc = 0x004;
inline constexpr int kSameDate = 0x008;
inline constexpr int kSameTime = 0x010;
inline constexpr int kSameVersion = 0x020;
inline constexpr int kNewer = 0x040;
inline constexpr int kOlder = 0x080;
inline constexpr int kDiffSize = 0x200;
inline constexpr int kDiffChecksum = 0x400;
inline constexpr int kDiffCrc = 0x800;
inline constexpr int kDiffDate = 0x1000;
inline constexpr int kDiffTime = 0x2000;
inline constexpr int kDiffVersion = 0x4000;
inline constexpr int kContentDiffers = 0xE00;
inline constexpr int kStampDiffers = 0x3000;
inline constexpr int kCompareStampOnly = 2;  // cmpchecks mode

// Measures a file (by path, or the open stream when path is null). Returns
// the file kind. With kStatsSizeOnly only the size is taken; with
// kStatsSha256 the digest is computed from the bytes the sums read.
int filestats(RunContext& rc, const char* path, FILE* stream, FileStats* stats, int flags);
// filestats of bytes in memory: the same measurement and kind.
int bytestats(RunContext& rc, std::string_view bytes, FileStats* stats);
// filestats plus the modification date and time; kind 0 becomes 3 for an
// existing empty file. With kStatsSizeOnly no content is read; kStatsSha256
// as filestats.
int filecheck(RunContext& rc, const char* path, FileStats* stats, int flags);
// Sets the date and time fields from a modification time, as local time.
void setstamp(std::time_t when, FileStats* stats);
// Compares recorded stats with actual ones; mode kCompareStampOnly compares
// sizes, versions, dates and times only. Returns the comparison bits.
int cmpchecks(RunContext& rc, const FileStats& recorded, const FileStats& actual, int mode);
// The same comparison, not counted in the run's performance log: for the
// look-ahead of a progress bar.
int comparestats(const FileStats& recorded, const FileStats& actual, int mode);

// A date as the run prints it.
struct DateText {
  char text[48];
  const char* c_str() const { return text; }
};
// "%2d/%02d/%02d %2d:%02d:%02d" in month/day/year order, or day/month/year
// with the run's dateOrder 1.
DateText datetext(const RunContext& rc, int32_t date, int32_t time);
// The current local time, "%2d/%02d/%02d %02d:%02d:%02d", in the same order.
DateText nowtext(const RunContext& rc);

}  // namespace trosk
