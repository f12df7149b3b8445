#include "repo/filestats.h"

#include <sys/stat.h>

#include <ctime>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "core/fileprobe.h"
#include "core/runcontext.h"
#include "core/timer.h"
#include "repo/bytescan.h"

namespace trosk {
namespace {

constexpr std::size_t kReadBlock = std::size_t{256} << 10;

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

int sizeonly(FILE* stream, FileStats* stats) {
  int64_t size = streamsize(stream);
  stats->size = size < 0 ? 0 : size;
  return stats->size > 0 ? kFileText : kFileEmpty;
}

// The measurement the sums and the tag scan have made. Returns the kind.
int finish(const ByteSums& sums, const TagScan& tag, FileStats* stats) {
  stats->version = tag.version();
  stats->checksum = static_cast<int32_t>(static_cast<uint32_t>(sums.sum));
  stats->parity = sums.parity();
  stats->crc = sums.crc();
  stats->size = static_cast<int64_t>(sums.count);
  if (sums.binary) return kFileBinary;
  return sums.count > 0 ? kFileText : kFileEmpty;
}

int measure(RunContext& rc, FILE* stream, FileStats* stats, int flags) {
  int32_t start = timerread(rc);
  // One buffer for the run: measuring many small files costs no allocation each.
  std::vector<unsigned char>& block = rc.readblock;
  if (block.size() < kReadBlock) block.resize(kReadBlock);
  ByteSums sums;
  TagScan tag;
  std::optional<Sha256> hash;
  if (flags & kStatsSha256) hash.emplace();
  std::size_t got;
  while ((got = std::fread(block.data(), 1, block.size(), stream)) > 0) {
    sums.add(block.data(), got);
    if (tag.phase != TagScan::kDone) tag.scan(block.data(), got);
    if (hash) hash->add(block.data(), got);
  }
  int kind = finish(sums, tag, stats);
  if (hash && !std::ferror(stream)) stats->sha256 = hash->finish();
  timerlog(rc, kTimeFilestats, start, "filestats");
  return kind;
}

}  // namespace

int filestats(RunContext& rc, const char* path, FILE* stream, FileStats* stats, int flags) {
  *stats = FileStats{};
  File owned;
  if (path) {
    owned.reset(std::fopen(path, "rb"));
    stream = owned.get();
  }
  if (!stream) {
    stats->parity = -1;
    return kFileEmpty;
  }
  if (flags & kStatsSizeOnly) return sizeonly(stream, stats);
  return measure(rc, stream, stats, flags);
}

int bytestats(RunContext& rc, std::string_view bytes, FileStats* stats) {
  int32_t start = timerread(rc);
  *stats = FileStats{};
  ByteSums sums;
  TagScan tag;
  auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  sums.add(p, bytes.size());
  tag.scan(p, bytes.size());
  int kind = finish(sums, tag, stats);
  timerlog(rc, kTimeFilestats, start, "filestats");
  return kind;
}

void setstamp(std::time_t when, FileStats* stats) {
  std::tm local{};
  if (!localtime_r(&when, &local)) return;
  int year = local.tm_year < 1000 ? local.tm_year + 1900 : local.tm_year;
  stats->date = year * 10000 + (local.tm_mon + 1) * 100 + local.tm_mday;
  stats->time = local.tm_hour * 10000 + local.tm_min * 100 + local.tm_sec;
}

int filecheck(RunContext& rc, const char* path, FileStats* stats, int flags) {
  int32_t start = timerread(rc);
  int kind = filestats(rc, path, nullptr, stats, flags);
  struct stat st;
  if (path && ::stat(path, &st) == 0) {
    setstamp(st.st_mtime, stats);
    if (kind == kFileEmpty) kind = kFileExistsEmpty;
  }
  timerlog(rc, kTimeFilecheck, start, "filecheck");
  return kind;
}

int comparestats(const FileStats& l, const FileStats& r, int mode) {
  int bits = 0;
  if (l.size == r.size) {
    bits |= kSameSize;
  } else if (l.size != 0) {
    bits |= kDiffSize;
  }
  if (mode != kCompareStampOnly) {
    if (l.checksum == r.checksum) {
      bits |= kSameChecksum;
    } else if (l.checksum != 0) {
      bits |= kDiffChecksum;
    }
    if (l.crc != 0 && r.crc != 0) {
      bits |= l.crc == r.crc ? kSameCrc : kDiffCrc;
    } else if (l.parity == r.parity) {
      bits |= kSameCrc;
    } else if (l.parity != 0) {
      bits |= kDiffCrc;
    }
  }
  if (l.version == r.version) {
    bits |= kSameVersion;
  } else if (l.version > 0) {
    bits |= kDiffVersion;
  }
  int64_t d = 0;
  if (l.date == r.date) {
    bits |= kSameDate;
  } else {
    if (l.date != 0) bits |= kDiffDate;
    d = static_cast<int64_t>(r.date) - l.date;
  }
  if (l.time == r.time) {
    bits |= kSameTime;
  } else if (l.time != 0) {
    bits |= kDiffTime;
  }
  if (d == 0) d = static_cast<int64_t>(r.time) - l.time;
  if (d != 0 && l.date != 0 && r.date != 0 && l.time != 0 && r.time != 0) {
    bits |= d < 1 ? kOlder : kNewer;
  }
  return bits;
}

int cmpchecks(RunContext& rc, const FileStats& l, const FileStats& r, int mode) {
  int32_t start = timerread(rc);
  int bits = comparestats(l, r, mode);
  timerlog(rc, kTimeCmpchecks, start, "cmpchecks");
  return bits;
}

DateText datetext(const RunContext& rc, int32_t date, int32_t time) {
  DateText out;
  int year = date / 10000 % 100, month = date / 100 % 100, day = date % 100;
  int first = month, second = day;
  if (rc.dateOrder == 1) std::swap(first, second);
  std::snprintf(out.text, sizeof out.text, "%2d/%02d/%02d %2d:%02d:%02d", first, second, year,
                time / 10000, time / 100 % 100, time % 100);
  return out;
}

DateText nowtext(const RunContext& rc) {
  DateText out;
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  int first = local.tm_mon + 1, second = local.tm_mday;
  if (rc.dateOrder == 1) std::swap(first, second);
  std::snprintf(out.text, sizeof out.text, "%2d/%02d/%02d %02d:%02d:%02d", first, second,
                local.tm_year % 100, local.tm_hour, local.tm_min, local.tm_sec);
  return out;
}

}  // namespace trosk
