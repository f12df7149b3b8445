#include "net/http.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>

#include "core/frontend.h"
#include "core/output.h"
#include "core/progress.h"
#include "core/runcontext.h"
#include "net/fetch.h"
#include "net/netrun.h"
#include "net/scripted_server.h"
#include "core/vtp.h"
#include "testing/testing.h"

namespace trosk {
namespace {

using testing::Conn;
using testing::FakeFrontend;
using testing::ScratchDir;
using testing::ScriptedServer;
using testing::readfile;
using testing::writefile;
namespace fs = std::filesystem;

std::string ok(std::string_view body, std::string_view extra = "") {
  return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" +
         std::string(extra) + "\r\n" + std::string(body);
}

// Serves `reply` to every request of every connection.
ScriptedServer::Script serving(std::string reply) {
  return [reply](Conn& c) {
    while (c.readrequest()) c.send(reply);
  };
}

// Answers one request with `reply`, then closes.
ScriptedServer::Script once(std::string reply) {
  return [reply](Conn& c) {
    if (c.readrequest()) c.send(reply);
  };
}

// A run's transport and context for the requests of one test.
struct WebTest : ::testing::Test {
  long long get(const ScriptedServer& server, const char* path, std::string* body, int flags,
                int32_t* kept = nullptr, const char* extra = nullptr) {
    return web_get(rc, net, path, "127.0.0.1", server.port, extra, body, nullptr, nullptr, flags,
                   kept);
  }
  long long getinto(const ScriptedServer& server, const char* path, const char* file, int flags) {
    return web_get(rc, net, path, "127.0.0.1", server.port, nullptr, nullptr, file, nullptr,
                   flags | kWebToFile, nullptr);
  }
  int closeconnection(int32_t* kept) { return trosk::closeconnection(rc, net, kept); }
  const std::string& lastcause() const { return rc.cause; }

  testing::FakeContext ctx;
  RunContext& rc = ctx.rc;
  FakeFrontend& ui = ctx.fake;
  NetRun net;
};

using WebRequestTest = WebTest;
using WebStatusTest = WebTest;
using WebFramingTest = WebTest;
using WebConnectionTest = WebTest;
using WebReportTest = WebTest;
using WebFileTest = WebTest;
using WebProgressTest = WebTest;
using WebVtpTest = WebTest;

// What "Host: " names for the test server: the address and its port.
std::string hostport(const ScriptedServer& server) {
  return "127.0.0.1:" + std::to_string(server.port);
}

double secondssince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// --- The request bytes -------------------------------------------------------

TEST_F(WebRequestTest, PlainRequestIsGetPathVersionAndBlankLine) {
  ScriptedServer server([](Conn& c) {
    if (!c.readrequest()) return;
    c.send(ok("hi"));
    c.readrest();  // anything the client sends after its request
  });
  std::string body;
  EXPECT_EQ(get(server, "/a/b.txt", &body, 0), 2);
  EXPECT_EQ(body, "hi");
  ASSERT_EQ(server.requests().size(), 1u);
  // CR LF line ends and no trailing NUL byte.
  EXPECT_EQ(server.requests()[0], "GET /a/b.txt HTTP/1.0\r\n\r\n");
}

TEST_F(WebRequestTest, KeepAliveRequestNamesHostAndCarriesTheExtraLine) {
  ScriptedServer server(serving(ok("x")));
  int32_t kept = 0;
  std::string body;
  EXPECT_EQ(get(server, "/p/current.xml", &body, kWebKeepAlive, &kept,
                "Authorization: Basic dXNlcjpwdw=="),
            1);
  closeconnection(&kept);
  auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0], "GET /p/current.xml HTTP/1.1\r\nHost: " + hostport(server) +
                             "\r\nAuthorization: Basic dXNlcjpwdw==\r\n\r\n");
}

TEST_F(WebRequestTest, HostNamesThePortUnlessItIsTheDefault) {
  ScriptedServer server(serving(ok("x")));
  int sock = OpSock(rc, net, "127.0.0.1", server.port, 1);
  ASSERT_GT(sock, 0);
  std::string body;
  // The connection goes to the test server; the request speaks of port 80.
  EXPECT_EQ(read_socket(rc, net, "/a", sock, "127.0.0.1", nullptr, &body, nullptr, nullptr,
                        kWebKeepAlive),
            1);
  EXPECT_EQ(read_socket(rc, net, "/b", sock, "127.0.0.1", nullptr, &body, nullptr, nullptr,
                        kWebKeepAlive, 8080),
            1);
  web_close(rc, net, sock);
  auto requests = server.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0], "GET /a HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
  EXPECT_EQ(requests[1], "GET /b HTTP/1.1\r\nHost: 127.0.0.1:8080\r\n\r\n");
}

TEST_F(WebRequestTest, ExtraTextAloneAddsHostToAnOldStyleRequest) {
  ScriptedServer server(once(ok("")));
  std::string body;
  EXPECT_EQ(get(server, "/x", &body, 0, nullptr, "X-One: 1"), 0);
  EXPECT_EQ(server.requests().at(0),
            "GET /x HTTP/1.0\r\nHost: " + hostport(server) + "\r\nX-One: 1\r\n\r\n");
}

TEST_F(WebRequestTest, TabBecomesBlankAndOtherControlBytesCutThePath) {
  ScriptedServer server(once(ok("")));
  std::string body;
  EXPECT_EQ(get(server, "/a\tb", &body, 0), 0);
  EXPECT_EQ(get(server, "/c\nd HTTP/1.1", &body, 0), 0);
  EXPECT_EQ(get(server, "/e\rf", &body, 0), 0);
  auto requests = server.requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0], "GET /a b HTTP/1.0\r\n\r\n");
  EXPECT_EQ(requests[1], "GET /c HTTP/1.0\r\n\r\n");
  EXPECT_EQ(requests[2], "GET /e HTTP/1.0\r\n\r\n");
}

TEST_F(WebRequestTest, ExtraTextCannotEndTheHeaderEarly) {
  ScriptedServer server(once(ok("")));
  std::string body;
  get(server, "/x", &body, 0, nullptr, "A: 1\r\n\r\nB: 2\n\nC:\x01 3\r");
  EXPECT_EQ(server.requests().at(0),
            "GET /x HTTP/1.0\r\nHost: " + hostport(server) + "\r\nA: 1\r\nB: 2\r\nC: 3\r\n\r\n");
}

TEST_F(WebRequestTest, OverlongPathOrExtraTextIsRefusedUnsent) {
  ScriptedServer server(once(ok("")));
  std::string body = "old";
  std::string path = "/" + std::string(kMaxRequestPath, 'p');
  EXPECT_EQ(get(server, path.c_str(), &body, 0), -2);
  EXPECT_EQ(body, "");
  std::string extra(kMaxExtraHeader + 1, 'e');
  EXPECT_EQ(get(server, "/x", &body, 0, nullptr, extra.c_str()), -2);
  path.pop_back();  // exactly the longest path
  EXPECT_EQ(get(server, path.c_str(), &body, 0), 0);
  auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0], "GET " + path + " HTTP/1.0\r\n\r\n");
  EXPECT_EQ(server.connections(), 1);  // none spent on the refused ones
}

// --- Status and header -------------------------------------------------------

TEST_F(WebStatusTest, ErrorStatusIsNegativeOnlyWhenAsked) {
  ScriptedServer server(serving("HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found"));
  std::string body;
  EXPECT_EQ(get(server, "/missing", &body, kWebNegStatus), -404);
  EXPECT_EQ(body, "");
  EXPECT_EQ(get(server, "/missing", &body, 0), 9);
  EXPECT_EQ(body, "not found");
}

TEST_F(WebStatusTest, KeptHeaderLeadsTheBodyAndCounts) {
  std::string reply = ok("body");
  ScriptedServer server(serving(reply));
  std::string body, header;
  EXPECT_EQ(get(server, "/x", &body, kWebKeepHeader), static_cast<long long>(reply.size()));
  EXPECT_EQ(body, reply);
  EXPECT_EQ(web_get(rc, net, "/x", "127.0.0.1", server.port, nullptr, &body, nullptr, &header, 0,
                    nullptr),
            4);
  EXPECT_EQ(header, reply.substr(0, reply.size() - 4));
  EXPECT_EQ(body, "body");
}

TEST_F(WebStatusTest, LowerCaseLengthEndsTheBodyWithoutWaitingForClose) {
  ScriptedServer server(serving("HTTP/1.1 200 OK\r\ncontent-length: 5\r\n\r\nhello"));
  net.timeoutMs = 2000;
  int32_t kept = 0;
  std::string body;
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(get(server, "/x", &body, kWebKeepAlive, &kept), 5);
  EXPECT_LT(secondssince(start), 1.0);
  EXPECT_GT(kept, 0);
  closeconnection(&kept);
}

TEST_F(WebStatusTest, RepliesWithoutStatusFail) {
  for (const char* reply : {"HTTP/1.1 2\r\n\r\n", "SSH-2.0-nothing here\r\n\r\n", ""}) {
    ScriptedServer server(once(reply));
    std::string body;
    EXPECT_EQ(get(server, "/x", &body, 0), -1) << reply;
  }
}

// --- Framing -----------------------------------------------------------------

TEST_F(WebFramingTest, HeaderSplitAcrossWritesIsReadWhole) {
  std::string reply = ok("split body");
  ScriptedServer server([reply](Conn& c) {
    if (c.readrequest()) c.sendsplit(reply, {3, 10, 17, 30, reply.size() - 2});
  });
  std::string body;
  EXPECT_EQ(get(server, "/x", &body, 0), 10);
  EXPECT_EQ(body, "split body");
}

TEST_F(WebFramingTest, HeaderEndedByBareLineFeeds) {
  ScriptedServer server(once("HTTP/1.1 200 OK\nContent-Length: 3\n\nabc"));
  std::string body;
  EXPECT_EQ(get(server, "/x", &body, 0), 3);
  EXPECT_EQ(body, "abc");
}

TEST_F(WebFramingTest, UnframedBodyRunsToTheCloseAndCostsTheConnection) {
  std::string big(100000, 'z');
  ScriptedServer server([big](Conn& c) {
    if (!c.readrequest()) return;
    c.send("HTTP/1.1 200 OK\r\n\r\n");
    c.pause(20);
    c.send(big);
  });
  int32_t kept = 0;
  std::string body;
  EXPECT_EQ(get(server, "/x", &body, kWebKeepAlive, &kept), 100000);
  EXPECT_EQ(body, big);
  EXPECT_EQ(kept, 0);
}

TEST_F(WebFramingTest, ChunkedBodyIsDecoded) {
  ScriptedServer server([](Conn& c) {
    while (c.readrequest()) {
      c.sendsplit("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                  "5;x=y\r\nhello\r\n6\r\n world\r\n0\r\nX-Sum: 1\r\n\r\n",
                  {50, 60});
    }
  });
  int32_t kept = 0;
  std::string body;
  EXPECT_EQ(get(server, "/x", &body, kWebKeepAlive, &kept), 11);
  EXPECT_EQ(body, "hello world");
  int32_t first = kept;
  EXPECT_GT(first, 0);
  EXPECT_EQ(get(server, "/y", &body, kWebKeepAlive, &kept), 11);
  EXPECT_EQ(kept, first);
  closeconnection(&kept);
  EXPECT_EQ(server.connections(), 1);
}

TEST_F(WebFramingTest, MalformedOrOverflowingChunksFail) {
  const char* head = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  for (const char* chunks : {"zz\r\nhello\r\n0\r\n\r\n", "5\r\nhelloXX0\r\n\r\n",
                             "FFFFFFFFFFFFFFFFF\r\nabc", "5\r\nhel"}) {
    ScriptedServer server(once(std::string(head) + chunks));
    ScratchDir dir;
    std::string body;
    EXPECT_EQ(get(server, "/x", &body, 0), -1) << chunks;
    EXPECT_EQ(getinto(server, "/x", "out.bin", 0), -1) << chunks;
    EXPECT_FALSE(fs::exists("out.bin"));
  }
}

TEST_F(WebFramingTest, ShortBodyFailsAndLeavesTheOldFile) {
  ScriptedServer server(once("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly fifty"));
  ScratchDir dir;
  writefile("keep.txt", "old content");
  std::string body;
  EXPECT_EQ(get(server, "/x", &body, 0), -1);
  EXPECT_EQ(body, "");  // nothing half-arrived is handed over
  EXPECT_EQ(getinto(server, "/x", "keep.txt", 0), -1);
  EXPECT_EQ(lastcause(),
            hostport(server) + " closed the connection before the reply was complete");
  EXPECT_EQ(readfile("keep.txt"), "old content");
  EXPECT_EQ(std::distance(fs::directory_iterator("."), fs::directory_iterator()), 1);
}

TEST_F(WebFramingTest, ConnectionResetMidBodyFails) {
  ScriptedServer server([](Conn& c) {
    if (!c.readrequest()) return;
    c.send("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n" + std::string(300, 'r'));
    c.pause(30);
    c.reset();
  });
  ScratchDir dir;
  std::string body;
  EXPECT_EQ(get(server, "/x", &body, 0), -1);
  EXPECT_EQ(getinto(server, "/x", "new.bin", 0), -1);
  EXPECT_FALSE(fs::exists("new.bin"));
}

TEST_F(WebFramingTest, StalledServerTimesOut) {
  net.timeoutMs = 300;
  for (bool header : {false, true}) {
    ScriptedServer server([header](Conn& c) {
      if (!c.readrequest()) return;
      if (header) c.send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc");
      c.stall();
    });
    std::string body;
    int32_t kept = 0;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(get(server, "/x", &body, kWebKeepAlive, &kept), -1);
    EXPECT_LT(secondssince(start), 3.0);
    EXPECT_EQ(kept, 0);
    EXPECT_EQ(lastcause(), "timed out: " + hostport(server) + " sent nothing for 0 seconds");
  }
}

TEST_F(WebFramingTest, TricklingReplyFailsByTheProgressRule) {
  net.progressWindowMs = 400;
  auto trickle = [](int bytes, int pausems) {
    return [bytes, pausems](Conn& c) {
      if (!c.readrequest()) return;
      c.send("HTTP/1.1 200 OK\r\nContent-Length: 6000\r\n\r\n");
      for (int sent = 0; sent < 6000 && !c.server->stopping; sent += bytes) {
        c.pause(pausems);
        c.send(std::string(bytes, 't'));
      }
    };
  };
  ScratchDir dir;
  writefile("old.bin", "old");
  ScriptedServer slow(trickle(1, 20));
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(getinto(slow, "/x", "old.bin", 0), -1);
  EXPECT_LT(secondssince(start), 2.0);
  EXPECT_EQ(lastcause(), "the transfer from " + hostport(slow) +
                              " stalled: less than 1024 bytes arrived in 0 seconds");
  EXPECT_EQ(readfile("old.bin"), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator("."), fs::directory_iterator()), 1);
  ScriptedServer steady(trickle(600, 100));  // about 2400 bytes in every window
  EXPECT_EQ(getinto(steady, "/x", "old.bin", 0), 6000);
}

TEST_F(WebFramingTest, OversizedMemoryBodyIsRefusedAtTheHeader) {
  ScriptedServer server([](Conn& c) {
    if (!c.readrequest()) return;
    c.send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kMaxMemoryBody + 1) +
           "\r\n\r\nabc");
    c.stall();
  });
  net.timeoutMs = 5000;
  std::string body;
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(get(server, "/x", &body, 0), -1);
  EXPECT_LT(secondssince(start), 2.0);
}

// --- Connections -------------------------------------------------------------

TEST_F(WebConnectionTest, RefusedConnectionIsNotRetried) {
  int port;
  {
    ScriptedServer gone(once(""));
    port = gone.port;
  }
  std::string body;
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(web_get(rc, net, "/x", "127.0.0.1", port, nullptr, &body, nullptr, nullptr, 0, nullptr),
            -1);
  EXPECT_LT(secondssince(start), 0.5);
  EXPECT_EQ(lastcause(), "connection refused by 127.0.0.1:" + std::to_string(port));
  EXPECT_EQ(OpSock(rc, net, "127.0.0.1", port, 1), -3);
  EXPECT_EQ(OpSock(rc, net, "127.0.0.1", 0, 1), -1);
  EXPECT_EQ(OpSock(rc, net, "127.0.0.1", port, 0), -1);
}

TEST_F(WebConnectionTest, ConnectionThatIsNeverAcceptedTimesOut) {
  // A listener whose queue is full drops further connection attempts unanswered.
  sockaddr_in at;
  int listener = testing::looplistener(0, &at);
  std::vector<int> fillers;
  for (int i = 0; i < 4; ++i) {
    int s = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    connect(s, reinterpret_cast<sockaddr*>(&at), sizeof at);
    fillers.push_back(s);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  net.timeoutMs = 400;
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(OpSock(rc, net, "127.0.0.1", ntohs(at.sin_port), 1), -3);
  EXPECT_LT(secondssince(start), 2.0);
  for (int s : fillers) close(s);
  close(listener);
}

TEST_F(WebConnectionTest, ManyRequestsShareOneKeptConnection) {
  ScriptedServer server(serving(ok("same")));
  int32_t kept = 0;
  std::string body;
  EXPECT_EQ(get(server, "/0", &body, kWebKeepAlive, &kept), 4);
  int32_t first = kept;
  for (int i = 1; i < 50; ++i) {
    std::string path = "/" + std::to_string(i);
    ASSERT_EQ(get(server, path.c_str(), &body, kWebKeepAlive, &kept), 4);
    ASSERT_EQ(kept, first);
  }
  closeconnection(&kept);
  EXPECT_EQ(kept, 0);
  EXPECT_EQ(server.connections(), 1);
  EXPECT_EQ(server.requests().size(), 50u);
}

TEST_F(WebConnectionTest, ErrorPageIsDrainedSoTheConnectionStaysUsable) {
  ScriptedServer server([](Conn& c) {
    if (c.readrequest()) c.send("HTTP/1.1 404 Not Found\r\nContent-Length: 5\r\n\r\nnope!");
    if (c.readrequest()) c.send(ok("found"));
    c.readrequest();
  });
  ScratchDir dir;
  int32_t kept = 0;
  std::string body;
  EXPECT_EQ(web_get(rc, net, "/a", "127.0.0.1", server.port, nullptr, nullptr, "a.txt", nullptr,
                    kWebKeepAlive | kWebToFile, &kept),
            -404);
  EXPECT_FALSE(fs::exists("a.txt"));  // an error page is never stored
  EXPECT_EQ(get(server, "/b", &body, kWebKeepAlive, &kept), 5);
  EXPECT_EQ(body, "found");
  closeconnection(&kept);
  EXPECT_EQ(server.connections(), 1);
}

TEST_F(WebConnectionTest, ClosedKeptConnectionIsReopenedOnce) {
  // Every connection answers one request and is then closed by the server.
  ScriptedServer server(once(ok("fresh")));
  int32_t kept = 0;
  std::string body;
  EXPECT_EQ(get(server, "/1", &body, kWebKeepAlive, &kept), 5);
  EXPECT_GT(kept, 0);
  for (int i = 0; i < 3; ++i) {
    if (i == 1) std::this_thread::sleep_for(std::chrono::milliseconds(50));  // closed for sure
    EXPECT_EQ(get(server, "/2", &body, kWebKeepAlive, &kept), 5);
    EXPECT_EQ(body, "fresh");
  }
  closeconnection(&kept);
  EXPECT_EQ(server.connections(), 4);
}

TEST_F(WebConnectionTest, ReopenedConnectionIsNotRetriedAgain) {
  std::atomic<int> count{0};
  ScriptedServer server([&count](Conn& c) {
    if (count++ == 0 && c.readrequest()) c.send(ok("first"));
  });
  int32_t kept = 0;
  std::string body;
  EXPECT_EQ(get(server, "/1", &body, kWebKeepAlive, &kept), 5);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(get(server, "/2", &body, kWebKeepAlive, &kept), -1);
  EXPECT_EQ(kept, 0);
  EXPECT_EQ(server.connections(), 2);
}

TEST_F(WebConnectionTest, KeptConnectionServesOnlyItsOwnPeer) {
  ScriptedServer first(serving(ok("first")));
  ScriptedServer second(serving(ok("second")));
  int32_t kept = 0;
  std::string body;
  EXPECT_EQ(get(first, "/x", &body, kWebKeepAlive, &kept), 5);
  EXPECT_EQ(get(second, "/x", &body, kWebKeepAlive, &kept), 6);
  EXPECT_EQ(body, "second");
  closeconnection(&kept);
  EXPECT_EQ(first.requests().size(), 1u);
  EXPECT_EQ(second.requests().size(), 1u);
}

TEST_F(WebConnectionTest, CloseRequestedByServerClearsTheHolder) {
  ScriptedServer server(serving(ok("bye", "Connection: close\r\n")));
  int32_t kept = 0;
  std::string body;
  EXPECT_EQ(get(server, "/x", &body, kWebKeepAlive, &kept), 3);
  EXPECT_EQ(kept, 0);
}

TEST_F(WebReportTest, VerboseRunReportsEachStep) {
  ScriptedServer server(serving(ok("hello")));
  ScratchDir dir;
  rc.verboseLevel = 1;
  int32_t kept = 0;
  std::string body;
  get(server, "/r.txt", &body, kWebKeepAlive, &kept);
  std::string reuse = "web_get(/r.txt,1o," + std::to_string(kept) + ") " + std::to_string(kept);
  get(server, "/r.txt", &body, kWebKeepAlive, &kept);
  closeconnection(&kept);
  closeoutput(rc);
  std::string report = readfile(kOutputFileName);
  std::string port = std::to_string(server.port);
  EXPECT_NE(report.find("OpSock(127.0.0.1," + port + ",1) -> "), std::string::npos) << report;
  EXPECT_NE(report.find("web_get(/r.txt,1o,0) "), std::string::npos) << report;
  EXPECT_NE(report.find(reuse), std::string::npos) << report;
  std::string sent = std::to_string(41 + port.size());  // the request with "Host: 127.0.0.1:port"
  EXPECT_NE(report.find(": -> " + sent + " [GET /r.txt HTTP/1.1\r\nHost: 127]\n"),
            std::string::npos)
      << report;
  EXPECT_NE(report.find(" read("), std::string::npos);
  EXPECT_NE(report.find("\nread_socket("), std::string::npos);
  EXPECT_NE(report.find(": 200 -> 5/5/"), std::string::npos) << report;
  EXPECT_EQ(report.find(" Reply: "), std::string::npos);  // only for unannounced lengths
}

// --- Files, progress and VTP -------------------------------------------------

TEST_F(WebFileTest, BodyIsStoredAndOnlyThen) {
  ScriptedServer server(serving(ok("file content")));
  ScratchDir dir;
  writefile("target.txt", "old");
  EXPECT_EQ(getinto(server, "/x", "target.txt", kWebKeepHeader), 12);
  EXPECT_EQ(readfile("target.txt"), ok("file content"));
  EXPECT_EQ(getinto(server, "/x", "target.txt", 0), 12);
  EXPECT_EQ(readfile("target.txt"), "file content");
  EXPECT_EQ(getinto(server, "/x", "no/such/dir/f.txt", 0), -2);
  EXPECT_EQ(std::distance(fs::directory_iterator("."), fs::directory_iterator()), 1);
}

TEST_F(WebFileTest, ErrorStatusIsNeverStoredEvenWhenNotAskedNegative) {
  ScriptedServer server(serving("HTTP/1.1 500 Oops\r\nContent-Length: 4\r\n\r\noops"));
  ScratchDir dir;
  writefile("target.txt", "old");
  EXPECT_EQ(getinto(server, "/x", "target.txt", 0), -500);
  EXPECT_EQ(readfile("target.txt"), "old");
}

// Cancels the run at the first report of bytes received, as a window's
// Cancel button does.
struct CancellingFrontend final : Frontend {
  void ask(std::string_view, char* answer, std::size_t, const char*) override { answer[0] = '\0'; }
  void alert(const Alert&) override {}
  void progress(const Progress& progress) override {
    seen.push_back(progress.percent);
    if (progress.percent > 0) run->cancel();
  }
  void caption(std::string_view) override {}
  RunContext* run = nullptr;
  std::vector<int> seen;
};

// A body counts as the file in hand of the step under way.
TEST_F(WebProgressTest, LongBodiesReportTheirBytesAsTheyArrive) {
  std::string big(5000, 'p');
  ScriptedServer server([big](Conn& c) {
    while (c.readrequest()) c.sendsplit(ok(big), {2000, 4000});
  });
  std::string body;
  progressbegin(rc, 1, 5000);
  progressfile(rc, "x", 5000);
  ui.progressSeen.clear();
  EXPECT_EQ(get(server, "/x", &body, kWebProgress), 5000);
  ASSERT_FALSE(ui.progressSeen.empty());
  EXPECT_EQ(ui.progressSeen.back(), 100);
  progressend(rc);
  progressbegin(rc, 1, 4);
  progressfile(rc, "tiny", 4);
  ui.progressSeen.clear();
  ScriptedServer small(serving(ok("tiny")));
  EXPECT_EQ(get(small, "/x", &body, kWebProgress), 4);
  EXPECT_TRUE(ui.progressSeen.empty());
  progressend(rc);
}

TEST_F(WebProgressTest, CancelStopsTheDownloadWithoutAFile) {
  std::string big(5000, 'p');
  ScriptedServer server([big](Conn& c) {
    if (c.readrequest()) c.sendsplit(ok(big), {2000});
  });
  ScratchDir dir;
  CancellingFrontend cancelling;
  RunContext run{cancelling};
  cancelling.run = &run;
  progressbegin(run, 1, 5000);
  progressfile(run, "big.bin", 5000);
  EXPECT_EQ(web_get(run, net, "/x", "127.0.0.1", server.port, nullptr, nullptr, "big.bin", nullptr,
                    kWebToFile | kWebProgress, nullptr),
            kWebCancelled);
  EXPECT_EQ(run.cause, "the transfer was cancelled");
  EXPECT_TRUE(fs::is_empty("."));
  ASSERT_FALSE(cancelling.seen.empty());
  EXPECT_GT(cancelling.seen.back(), 0);
}

TEST_F(WebVtpTest, ArmouredBodyIsDecodedOnTheFly) {
  std::string data;
  for (int i = 0; i < 70000; ++i) data += static_cast<char>((i * 7) & 0xFF);
  std::string armour = vtpencodestring(data);
  ScriptedServer server([armour](Conn& c) {
    while (c.readrequest()) c.sendsplit(ok(armour), {40, 42, 1000, 50000});
  });
  ScratchDir dir;
  std::string body;
  EXPECT_EQ(get(server, "/x", &body, kWebDecode), static_cast<long long>(data.size()));
  EXPECT_EQ(body, data);
  EXPECT_EQ(get(server, "/x", &body, 0), static_cast<long long>(armour.size()));
  EXPECT_EQ(body, armour);
  EXPECT_EQ(getinto(server, "/x", "decoded.bin", kWebDecode),
            static_cast<long long>(armour.size()));
  EXPECT_EQ(readfile("decoded.bin"), data);
}

TEST_F(WebVtpTest, ShortOrPlainBodiesPassUntouched) {
  for (std::string text : {"", "[VT", "[VTX something", "plain text"}) {
    ScriptedServer server(serving(ok(text)));
    std::string body;
    EXPECT_EQ(get(server, "/x", &body, kWebDecode), static_cast<long long>(text.size()));
    EXPECT_EQ(body, text);
  }
}

TEST_F(WebVtpTest, CorruptArmourFailsAndStoresNothing) {
  std::string armour = vtpencodestring(std::string(5000, 'q'));
  std::size_t at = armour.find(']') + 100;
  armour[at] = armour[at] == 'A' ? 'B' : 'A';
  std::string cut = vtpencodestring(std::string(5000, 'q'));
  cut.resize(cut.size() / 2);
  for (const std::string& bad : {armour, cut}) {
    ScriptedServer server(serving(ok(bad)));
    ScratchDir dir;
    writefile("old.bin", "old");
    std::string body;
    EXPECT_EQ(get(server, "/x", &body, kWebDecode), -1);
    EXPECT_EQ(getinto(server, "/x", "old.bin", kWebDecode), -1);
    EXPECT_EQ(readfile("old.bin"), "old");
  }
}

}  // namespace
}  // namespace trosk
