#include "net/pipeline.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/runcontext.h"
#include "net/fetch.h"
#include "net/http.h"
#include "net/netrun.h"
#include "net/scripted_server.h"
#include "testing/testing.h"

namespace trosk {
namespace {

using testing::Conn;
using testing::ScriptedServer;

// The path a recorded request asked for.
std::string pathof(const std::string& request) {
  std::size_t start = request.find(' ') + 1;
  return request.substr(start, request.find(' ', start) - start);
}

// A reply whose body names the path asked for ("/big": 2 MiB of it), to at
// most `perconnection` requests of a connection, which then simply ends.
ScriptedServer::Script naming(int perconnection, std::string extra = "") {
  return [perconnection, extra](Conn& c) {
    for (int i = 0; i < perconnection && c.readrequest(); ++i) {
      std::string path = pathof(c.server->requests().back());
      std::string body = path == "/big" ? std::string(std::size_t{2} << 20, 'x') : path;
      c.send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" + extra +
             "\r\n" + body);
    }
  };
}

struct PipelineTest : ::testing::Test {
  void serve(ScriptedServer::Script script) { server = std::make_unique<ScriptedServer>(script); }
  void plan(std::vector<std::string> paths, int depth = 4) { ahead.plan(net, depth, paths); }
  std::string get(const char* path) {
    std::string body;
    long long got = ahead.get(rc, path, "127.0.0.1", server->port, nullptr, &body, nullptr,
                              kWebKeepAlive, &kept);
    return got < 0 ? "failed: " + rc.cause : body;
  }

  testing::FakeContext ctx;
  RunContext& rc = ctx.rc;
  std::unique_ptr<ScriptedServer> server;  // outlives the connections to it
  NetRun net;
  int32_t kept = 0;
  Pipeline ahead;
};

TEST_F(PipelineTest, RepliesComeInTheOrderAskedAndPassedOverOnesAreDropped) {
  serve(naming(100));
  // The log read before the files leaves its connection kept: it is taken over.
  std::string log;
  ASSERT_EQ(web_get(rc, net, "/log", "127.0.0.1", server->port, nullptr, &log, nullptr, nullptr,
                    kWebKeepAlive, &kept),
            4);
  plan({"/a", "/b", "/c", "/d", "/e", "/f"});
  EXPECT_TRUE(ahead.planned("/b"));
  EXPECT_EQ(get("/a"), "/a");
  EXPECT_EQ(kept, 0);
  EXPECT_FALSE(ahead.planned("/a"));
  EXPECT_EQ(get("/c"), "/c");  // the reply to /b was on its way: dropped
  EXPECT_FALSE(ahead.planned("/b"));
  EXPECT_EQ(get("/f"), "/f");
  EXPECT_EQ(server->connections(), 1);
  std::vector<std::string> asked;
  for (const std::string& request : server->requests()) asked.push_back(pathof(request));
  EXPECT_EQ(asked, (std::vector<std::string>{"/log", "/a", "/b", "/c", "/d", "/e", "/f"}));
}

TEST_F(PipelineTest, ServerThatEndsItsConnectionsEarlyIsAskedAgain) {
  // Two replies a connection, without a word that it ends: the requests
  // sent ahead on it go again on the next.
  serve(naming(2));
  plan({"/1", "/2", "/3", "/4", "/5", "/6", "/7"});
  for (const char* path : {"/1", "/2", "/3", "/4", "/5", "/6", "/7"}) {
    EXPECT_EQ(get(path), path);
  }
  EXPECT_EQ(server->connections(), 4);
}

TEST_F(PipelineTest, LargeReplyPassedOverCostsTheConnectionNotTheFile) {
  serve(naming(100));
  // A fresh connection carries one request until its server shows it keeps
  // connections open; then /big goes ahead with /b.
  plan({"/a", "/b", "/big", "/c"});
  EXPECT_EQ(get("/a"), "/a");
  EXPECT_EQ(get("/b"), "/b");
  EXPECT_EQ(get("/c"), "/c");
  EXPECT_EQ(server->connections(), 2);
}

TEST_F(PipelineTest, ServerThatClosesAfterEachReplyGetsOneRequestAtATime) {
  serve(naming(1, "Connection: close\r\n"));
  plan({"/a", "/b", "/c"});
  for (const char* path : {"/a", "/b", "/c"}) EXPECT_EQ(get(path), path);
  EXPECT_EQ(server->connections(), 3);
  EXPECT_EQ(server->requests().size(), 3u);  // none sent ahead, none lost
}

TEST_F(PipelineTest, DepthOneSendsNothingAhead) {
  plan({"/a"}, 1);
  EXPECT_FALSE(ahead.planned("/a"));
}

}  // namespace
}  // namespace trosk
