#include "net/reply.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace trosk {
namespace {

// What a reply came to, in every field a caller can see.
struct Parsed {
  int result = 0;  // 1 complete, -1 failed, 0 still open
  int status = -1;
  int64_t length = -1;
  bool chunked = false;
  bool reusable = false;
  std::string header;
  std::string body;
  std::size_t unused = 0;  // bytes after the reply's end

  bool operator==(const Parsed&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Parsed& p) {
  return os << "{result=" << p.result << " status=" << p.status << " length=" << p.length
            << " chunked=" << p.chunked << " reusable=" << p.reusable << " body=[" << p.body
            << "] unused=" << p.unused << "}";
}

// Feeds the pieces in order, as reads of a connection, then (with `closed`)
// ends the connection.
Parsed parse(const std::vector<std::string_view>& pieces, bool closed = true) {
  WebReply reply;
  Parsed out;
  ReplySink sink = [&](const char* data, std::size_t n) {
    out.body.append(data, n);
    return true;
  };
  for (std::string_view piece : pieces) {
    std::size_t used = 0;
    while (used < piece.size() && !reply.done()) {
      long long k = reply.feed(piece.data() + used, piece.size() - used, sink);
      if (k < 0) {
        out.result = -1;
        return out;
      }
      used += static_cast<std::size_t>(k);
    }
    out.unused += piece.size() - used;
  }
  out.result = reply.done() ? 1 : closed ? reply.finish() : 0;
  out.status = reply.status;
  out.length = reply.length;
  out.chunked = reply.chunked;
  out.reusable = reply.reusable();
  out.header = reply.header;
  return out;
}

Parsed whole(std::string_view text, bool closed = true) { return parse({text}, closed); }

const std::vector<std::string> kReplies = {
    "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nServer: t\r\n\r\nhello",
    "HTTP/1.1 200 OK\nContent-Length: 3\n\nabc",
    "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5;name=v\r\nhello\r\n"
    "6 \r\n world\r\nA\r\n0123456789\r\n0\r\nX-Check: 1\r\n\r\n",
    "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\n\n3\nabc\n0\n\n",
    "HTTP/1.0 200 OK\r\nServer: t\r\n\r\nuntil the end of the connection",
    "HTTP/1.1 204 No Content\r\n\r\n",
    "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 404 Not Found\r\nContent-Length: 2\r\n\r\nno",
    "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nokEXTRA",
    "HTTP/1.1 200 OK\r\ncontent-length: 2\r\n\r\nok",
    // Failures must fail the same way however they are split.
    "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nshort",
    "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhelloX\r\n0\r\n\r\n",
    "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n",
    "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhel",
    "HTTP/1.1 200 OK\r\nContent-Len",
};

TEST(WebReplySplitTest, EverySplitParsesLikeTheWholeReply) {
  for (const std::string& text : kReplies) {
    Parsed reference = whole(text);
    for (std::size_t cut = 1; cut < text.size(); ++cut) {
      std::string_view all(text);
      ASSERT_EQ(parse({all.substr(0, cut), all.substr(cut)}), reference)
          << "cut at " << cut << " of " << text;
    }
    for (std::size_t a = 1; a + 1 < text.size(); a += 7) {
      std::string_view all(text);
      std::size_t b = (a + text.size()) / 2;
      ASSERT_EQ(parse({all.substr(0, a), all.substr(a, b - a), all.substr(b)}), reference) << text;
    }
    std::vector<std::string_view> bytes;
    for (std::size_t i = 0; i < text.size(); ++i) bytes.push_back(std::string_view(text).substr(i, 1));
    ASSERT_EQ(parse(bytes), reference) << "byte by byte: " << text;
  }
}

TEST(WebReplySplitTest, ReferenceResults) {
  Parsed p = whole(kReplies[0]);
  EXPECT_EQ(p.result, 1);
  EXPECT_EQ(p.status, 200);
  EXPECT_EQ(p.length, 5);
  EXPECT_EQ(p.body, "hello");
  EXPECT_TRUE(p.reusable);
  EXPECT_EQ(p.header, "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nServer: t\r\n\r\n");

  EXPECT_EQ(whole(kReplies[1]).body, "abc");  // LF LF ends the header too
  Parsed chunked = whole(kReplies[2]);
  EXPECT_EQ(chunked.result, 1);
  EXPECT_EQ(chunked.body, "hello world0123456789");
  EXPECT_TRUE(chunked.chunked);
  EXPECT_TRUE(chunked.reusable);
  EXPECT_EQ(whole(kReplies[3]).body, "abc");

  Parsed toclose = whole(kReplies[4]);
  EXPECT_EQ(toclose.result, 1);
  EXPECT_EQ(toclose.body, "until the end of the connection");
  EXPECT_FALSE(toclose.reusable);
  EXPECT_EQ(whole(kReplies[4], false).result, 0);  // still open: not complete yet

  Parsed nocontent = whole(kReplies[5]);
  EXPECT_EQ(nocontent.result, 1);
  EXPECT_EQ(nocontent.body, "");
  EXPECT_EQ(whole(kReplies[6]).status, 404);  // the interim reply is passed over
  EXPECT_EQ(whole(kReplies[6]).body, "no");
  EXPECT_EQ(whole(kReplies[7]).unused, 5u);
  EXPECT_EQ(whole(kReplies[8]).length, 2);  // the field name in any case
}

TEST(WebReplyFailureTest, CutAndMalformedRepliesFail) {
  EXPECT_EQ(whole(kReplies[9]).result, -1);   // body shorter than announced
  EXPECT_EQ(whole(kReplies[10]).result, -1);  // no line end after the chunk
  EXPECT_EQ(whole(kReplies[11]).result, -1);  // not a chunk size
  EXPECT_EQ(whole(kReplies[12]).result, -1);  // cut inside a chunk
  EXPECT_EQ(whole(kReplies[13]).result, -1);  // cut inside the header
  const char* chunkhead = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  for (const char* bad : {"10000000000000000\r\n", "\r\n", " 5\r\nhello\r\n0\r\n\r\n",
                          "5 x\r\nhello\r\n0\r\n\r\n", "5\rX\nhello\r\n0\r\n\r\n",
                          "5\r\nhello\r\r\n0\r\n\r\n"}) {
    EXPECT_EQ(whole(std::string(chunkhead) + bad).result, -1) << bad;
  }
  // The largest size that fits is accepted (and then cut short).
  Parsed big = parse({std::string(chunkhead) + "3FFFFFFFFFFFFFFF\r\nabc"}, false);
  EXPECT_EQ(big.result, 0);
  EXPECT_EQ(big.body, "abc");
  std::string longline = std::string(chunkhead) + "5;" + std::string(kMaxChunkLine, 'x') + "\r\n";
  EXPECT_EQ(whole(longline).result, -1);
}

TEST(WebReplyFailureTest, StatusLineMustBeHttp) {
  EXPECT_EQ(whole("HTTP/1.1 2\r\n\r\n").result, -1);  // shorter than 13 bytes
  EXPECT_EQ(whole("hello there, world\r\n\r\nbody").result, -1);
  EXPECT_EQ(whole("HTTP/1.1 abc OK\r\n\r\n").result, -1);
  EXPECT_EQ(whole("HTTP/1.1 99 Low\r\n\r\n").result, -1);
  EXPECT_EQ(whole("\r\n\r\nHTTP/1.1 200 OK\r\n\r\n").result, -1);
}

TEST(WebReplyFailureTest, HeaderIsBounded) {
  std::string filler = "X-Fill: " + std::string(1000, 'f') + "\r\n";
  std::string fits = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n";
  while (fits.size() + filler.size() + 2 <= kMaxReplyHeader) fits += filler;
  EXPECT_EQ(whole(fits + "\r\n").result, 1);
  std::string over = fits + filler + "\r\n";
  EXPECT_EQ(whole(over).result, -1);
  // No blank line at all: fails once past the bound, not at the end of memory.
  WebReply reply;
  std::string endless(kMaxReplyHeader + 10, 'a');
  EXPECT_EQ(reply.feed(endless.data(), endless.size(), [](const char*, std::size_t) { return true; }),
            -1);
}

TEST(WebReplyFailureTest, InterimRepliesShareTheHeaderBound) {
  std::string interim = "HTTP/1.1 100 Continue\r\n\r\n";
  std::string few;
  for (int i = 0; i < 10; ++i) few += interim;
  EXPECT_EQ(whole(few + "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok").body, "ok");
  // A server that never stops sending interim replies fails the reply.
  WebReply reply;
  auto sink = [](const char*, std::size_t) { return true; };
  long long result = 0;
  for (std::size_t sent = 0; result >= 0 && sent <= 2 * kMaxReplyHeader; sent += interim.size()) {
    result = reply.feed(interim.data(), interim.size(), sink);
  }
  EXPECT_EQ(result, -1);
}

TEST(WebReplyFailureTest, LengthRules) {
  const char* head = "HTTP/1.1 200 OK\r\n";
  EXPECT_EQ(whole(std::string(head) + "Content-Length: 99999999999999999999\r\n\r\n").result, -1);
  EXPECT_EQ(whole(std::string(head) + "Content-Length: 2\r\nContent-Length: 3\r\n\r\nabc").result,
            -1);
  Parsed same = whole(std::string(head) + "Content-Length: 3\r\nContent-Length: 3\r\n\r\nabc");
  EXPECT_EQ(same.body, "abc");
  // A value that is no number counts as none: the body runs to the end.
  Parsed none = whole(std::string(head) + "Content-Length: many\r\n\r\nabc");
  EXPECT_EQ(none.length, -1);
  EXPECT_EQ(none.body, "abc");
  EXPECT_EQ(whole(std::string(head) + "Content-Length:   4xyz\r\n\r\nabcd").length, 4);
}

TEST(WebReplyReuseTest, OnlyFramedKeepAliveRepliesLeaveTheConnectionUsable) {
  EXPECT_TRUE(whole("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n").reusable);
  EXPECT_FALSE(whole("HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 0\r\n\r\n").reusable);
  EXPECT_FALSE(whole("HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n").reusable);
  EXPECT_TRUE(
      whole("HTTP/1.0 200 OK\r\nConnection: Keep-Alive\r\nContent-Length: 0\r\n\r\n").reusable);
}

TEST(WebReplySinkTest, RefusingSinkFailsTheReply) {
  WebReply reply;
  std::string text = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello";
  auto refuse = [](const char*, std::size_t) { return false; };
  long long used = reply.feed(text.data(), text.size(), refuse);  // stops after the header
  ASSERT_GT(used, 0);
  EXPECT_EQ(reply.feed(text.data() + used, text.size() - used, refuse), -1);
  EXPECT_EQ(reply.stage, ReplyStage::kFailed);
  EXPECT_EQ(reply.finish(), -1);
}

TEST(WebNumberTest, ReadsLikeTheStatusAndLengthFields) {
  auto num = [](std::string_view s) { return web_number(s.data(), s.size()); };
  EXPECT_EQ(num("200 OK"), 200);
  EXPECT_EQ(num("  \t42"), 42);
  EXPECT_EQ(num("12abc"), 12);
  EXPECT_EQ(num(".5"), 0);
  EXPECT_EQ(num("."), -1);
  EXPECT_EQ(num(""), -1);
  EXPECT_EQ(num("   "), -1);
  EXPECT_EQ(num("abc"), -1);
  EXPECT_EQ(num("-3"), -1);
  EXPECT_EQ(num("4611686018427387904"), -2);  // 2^62
  EXPECT_EQ(num("461168601842738790"), 461168601842738790);
}

}  // namespace
}  // namespace trosk
