#include "net/reply.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "core/strutil.h"

namespace trosk {
namespace {

constexpr uint64_t kAnyLength = ~uint64_t{0};

bool isblank(char c) { return c == ' ' || c == '\t'; }

int hexvalue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// True when `line` begins with the header field `name` (any case).
bool isfield(std::string_view line, std::string_view name) {
  return line.size() >= name.size() && strncmpi(line.data(), name.data(), name.size()) == 0;
}

// True when the comma-separated value holds `token` (any case).
bool hastoken(std::string_view value, std::string_view token) {
  for (std::size_t i = 0; i + token.size() <= value.size(); ++i) {
    if (strncmpi(value.data() + i, token.data(), token.size()) == 0) return true;
  }
  return false;
}

}  // namespace

int64_t web_number(const char* text, std::size_t n) {
  std::size_t i = 0;
  while (i < n && isblank(text[i])) ++i;
  if (i == n) return -1;
  if (text[i] == '.') return i + 1 < n && text[i + 1] >= '0' && text[i + 1] <= '9' ? 0 : -1;
  if (text[i] < '0' || text[i] > '9') return -1;
  constexpr int64_t kLimit = (int64_t{1} << 62) - 1;
  int64_t value = 0;
  for (; i < n && text[i] >= '0' && text[i] <= '9'; ++i) {
    int digit = text[i] - '0';
    if (value > (kLimit - digit) / 10) return -2;
    value = value * 10 + digit;
  }
  return value;
}

long long WebReply::fail() {
  stage = ReplyStage::kFailed;
  return -1;
}

long long WebReply::feed(const char* data, std::size_t n, const ReplySink& sink) {
  std::size_t used = 0;
  while (used < n) {
    const char* at = data + used;
    std::size_t left = n - used;
    long long k = 0;
    switch (stage) {
      case ReplyStage::kHeader:
        k = header_feed(at, left);
        if (k < 0) return -1;
        used += static_cast<std::size_t>(k);
        if (headerdone()) return static_cast<long long>(used);
        continue;
      case ReplyStage::kLength:
        k = body(at, left, remaining_, sink);
        if (k >= 0 && (remaining_ -= static_cast<uint64_t>(k)) == 0) stage = ReplyStage::kDone;
        break;
      case ReplyStage::kToClose: k = body(at, left, kAnyLength, sink); break;
      case ReplyStage::kChunkSize: k = chunk_size(at, left); break;
      case ReplyStage::kChunkData:
        k = body(at, left, remaining_, sink);
        if (k >= 0 && (remaining_ -= static_cast<uint64_t>(k)) == 0) stage = ReplyStage::kChunkEnd;
        break;
      case ReplyStage::kChunkEnd: k = chunk_end(at, left); break;
      case ReplyStage::kTrailer: k = trailer(at, left); break;
      case ReplyStage::kDone: return static_cast<long long>(used);
      case ReplyStage::kFailed: return -1;
    }
    if (k < 0) return -1;
    used += static_cast<std::size_t>(k);
  }
  return static_cast<long long>(used);
}

int WebReply::finish() {
  if (stage == ReplyStage::kToClose) stage = ReplyStage::kDone;
  if (done()) return 1;
  stage = ReplyStage::kFailed;
  return -1;
}

long long WebReply::header_feed(const char* data, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    char c = data[i];
    if (c != '\n') {
      if (c != '\r') ++linelen_;
      continue;
    }
    bool blank = linelen_ == 0;
    linelen_ = 0;
    if (!blank) continue;
    // The header may end with CR LF CR LF or with LF LF alike.
    if (interim_ + header.size() + i + 1 > kMaxReplyHeader) return fail();
    header.append(data, i + 1);
    if (header_end() < 0) return -1;
    return static_cast<long long>(i + 1);
  }
  if (interim_ + header.size() + n > kMaxReplyHeader) return fail();
  header.append(data, n);
  return static_cast<long long>(n);
}

int WebReply::header_end() {
  std::string_view text(header);
  std::size_t eol = text.find('\n');
  if (text.size() < 13 || eol < 10 || text.compare(0, 5, "HTTP/") != 0) {
    return static_cast<int>(fail());
  }
  int64_t code = web_number(text.data() + 9, eol - 9);
  if (code < 100 || code > 999) return static_cast<int>(fail());
  if (code < 200) {
    // An interim reply: the real one follows on the same connection. They
    // share the header's bound, or a server could send them without end.
    interim_ += header.size();
    header.clear();
    return 0;
  }
  status = static_cast<int>(code);
  keepalive = text.compare(5, 3, "1.1") == 0;
  for (std::size_t start = eol + 1; start < text.size();) {
    std::size_t end = text.find('\n', start);
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    std::string_view value = line.substr(colon + 1);
    if (isfield(line, "Content-Length:")) {
      int64_t announced = web_number(value.data(), value.size());
      if (announced == -2 || (announced >= 0 && length >= 0 && announced != length)) {
        return static_cast<int>(fail());
      }
      if (announced >= 0) length = announced;
    } else if (isfield(line, "Transfer-Encoding:")) {
      chunked = hastoken(value, "chunked");
    } else if (isfield(line, "Connection:")) {
      if (hastoken(value, "close")) keepalive = false;
      else if (hastoken(value, "keep-alive")) keepalive = true;
    }
  }
  framed = true;
  if (status == 204 || status == 304) {
    stage = ReplyStage::kDone;
  } else if (chunked) {
    stage = ReplyStage::kChunkSize;
  } else if (length >= 0) {
    remaining_ = static_cast<uint64_t>(length);
    stage = length > 0 ? ReplyStage::kLength : ReplyStage::kDone;
  } else {
    framed = false;
    stage = ReplyStage::kToClose;
  }
  return 0;
}

long long WebReply::body(const char* data, std::size_t n, uint64_t limit,
                         const ReplySink& sink) {
  std::size_t k = static_cast<std::size_t>(std::min<uint64_t>(n, limit));
  if (!sink(data, k)) return fail();
  received += k;
  return static_cast<long long>(k);
}

// A chunk-size line: hex digits, optional blanks, optional ";" extensions,
// then CR LF (or LF). Anything else is a malformed reply.
long long WebReply::chunk_size(const char* data, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    char c = data[i];
    if (++extra_ > kMaxChunkLine) return fail();
    if (c == '\n') {
      if (digits_ == 0) return fail();
      stage = remaining_ == 0 ? ReplyStage::kTrailer : ReplyStage::kChunkData;
      digits_ = 0;
      phase_ = 0;
      cr_ = false;
      extra_ = 0;
      linelen_ = 0;
      return static_cast<long long>(i + 1);
    }
    if (cr_) return fail();
    if (c == '\r') {
      cr_ = true;
    } else if (phase_ == 0 && hexvalue(c) >= 0) {
      if (remaining_ >> 58) return fail();  // sizes stay below 2^62
      remaining_ = remaining_ * 16 + static_cast<uint64_t>(hexvalue(c));
      ++digits_;
    } else if (digits_ == 0) {
      return fail();
    } else if (phase_ < 2 && isblank(c)) {
      phase_ = 1;
    } else if (c == ';') {
      phase_ = 2;  // extensions are read over, not interpreted
    } else if (phase_ < 2) {
      return fail();
    }
  }
  return static_cast<long long>(n);
}

long long WebReply::chunk_end(const char* data, std::size_t n) {
  (void)n;
  if (data[0] == '\n') {
    cr_ = false;
    stage = ReplyStage::kChunkSize;
  } else if (data[0] == '\r' && !cr_) {
    cr_ = true;
  } else {
    return fail();
  }
  return 1;
}

long long WebReply::trailer(const char* data, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    if (++extra_ > kMaxReplyHeader) return fail();
    char c = data[i];
    if (c != '\n') {
      if (c != '\r') ++linelen_;
      continue;
    }
    if (linelen_ == 0) {
      stage = ReplyStage::kDone;
      return static_cast<long long>(i + 1);
    }
    linelen_ = 0;
  }
  return static_cast<long long>(n);
}

}  // namespace trosk
