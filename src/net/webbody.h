// Where a fetched body goes: into memory, bounded by kMaxMemoryBody, or into
// a file written beside its destination and renamed into place only when the
// body is complete; VTP armour is recognised and decoded on the way. A body
// that fails records why (see core/cause.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "core/atomicfile.h"
#include "core/vtp.h"

namespace trosk {

// VTP states, as the transfer reports show them.
inline constexpr int kVtpUnknown = 0;   // too few bytes seen to tell
inline constexpr int kVtpPlain = 1;     // not armoured
inline constexpr int kVtpHeader = 2;    // reading the armour's header
inline constexpr int kVtpDecoding = 3;  // decoding

struct RunContext;

struct WebBody {
  // Failures name their cause in `rc`.
  explicit WebBody(RunContext& rc) : rc_(rc) {}
  ~WebBody();
  WebBody(const WebBody&) = delete;
  WebBody& operator=(const WebBody&) = delete;

  // Starts a body into `text` (cleared) or, when `file` is not null, into a
  // temporary file beside it; with `inplace`, into `file` itself, a
  // temporary name of the caller's (created afresh, never through a link).
  // `decode` looks for VTP armour; `source` (may be null) names the host
  // file in a failure's cause. Returns 0, or -2 when the file cannot be
  // created.
  int open(std::string* text, const char* file, bool decode, const char* source = nullptr,
           bool inplace = false);
  // Takes bytes of the body as they arrive. Returns false once the body is
  // failed: too large for memory, corrupt armour, or a write error.
  bool take(const char* data, std::size_t n);
  // Stores bytes as they are, past the armour check (a kept reply header).
  // Returns false as take does.
  bool put(const char* data, std::size_t n);
  // Completes the body: checks the armour and puts the file in place.
  // Returns 0, -1 (corrupt or cut armour, an earlier failure) or -2 (the
  // file could not be written).
  int close();
  // A body written to a file is also kept in `copy` (cleared first) while it
  // is no larger than `limit`; a larger one leaves `copy` empty.
  void keepcopy(std::string* copy, std::size_t limit);

  bool tofile() const { return !file_.empty(); }
  // Bytes stored: in memory, the text's size; in a file, the bytes written.
  uint64_t stored = 0;
  int vtp = kVtpPlain;
  int error = 0;  // -1 or -2 once failed

 private:
  int opendirect();
  bool write(const char* data, std::size_t n);
  bool flushdirect();
  bool decodeinto(const char* data, std::size_t n);
  bool fail(int code);
  void writefailed();

  RunContext& rc_;
  std::string file_;    // the destination file, empty for a body in memory
  std::string source_;  // the host file

  std::string* text_ = nullptr;
  std::string* copy_ = nullptr;
  std::size_t copylimit_ = 0;
  std::unique_ptr<AtomicFile> out_;
  // The caller's temporary file, written with plain writes of the bytes
  // gathered in `pending_`: a small body takes one write.
  int direct_ = -1;
  std::string pending_;
  std::string lead_;  // the first bytes, until they tell whether armour follows
  VtpDecoder decoder_;
  bool reserved_ = false;
};

}  // namespace trosk
