#include <gtest/gtest.h>

#include <memory>

#include "repo/hostpaths.h"
#include "sync/logdoc.h"
#include "sync/statahead.h"
#include "sync/synchost.h"
#include "sync/verify.h"

namespace trosk::testing {
namespace {

// A status read from tables prints, for every kind of entry, what the trees
// of the same logs print.
struct StatusTables : SyncTest {
  void SetUp() override {
    SyncTest::SetUp();
    hostversion(1, 1,
                {{.name = "a.txt", .content = "alpha\n", .date = 20000101, .time = 120000},
                 {.name = "b.txt", .content = "bravo\n"},
                 {.name = "c.txt", .content = "charlie\n"},
                 {.name = "z.zip", .content = "PK", .archive = true}});
    EXPECT_EQ(run(CMD_DOWNLOAD | CMD_INIT | CMD_ZIP), 1);
    EXPECT_EQ(run(CMD_DOWNLOAD), 1);
    // The host log then changes in every way a log can: a new file, a name
    // that is refused, one with trailing blanks, one twice, entries that
    // only begin like "file", an entry without a name, another archive.
    writefile(versiondir(1) / "trosk_proj.xml",
              "<trosk><subversion>2</subversion>\n"
              + entrytext({.name = "a.txt", .content = "alpha\n"})
              + entrytext({.name = "b.txt", .content = "bravo 2\n", .date = 20991231, .time = 1})
              + entrytext({.name = "new.txt", .content = "new\n"})
              + entrytext({.name = "../out.txt", .content = "x"})
              + entrytext({.name = "c.txt  ", .content = "charlie\n"})
              + entrytext({.name = "c.txt", .content = "charlie\n"})
              + "<filex><name>a.txt</name><size>3</size></filex><file><size>1</size></file>"
              + entrytext({.name = "z.zip", .content = "PK", .archive = true})
              + entrytext({.name = "y.zip", .content = "PK2", .archive = true}) + "</trosk>");
    writefile(work / "c.txt", "charlie changed\n");
    closeoutput(rc);
  }

  // What a status with `flags` prints and returns, read one way or the other.
  std::string status(int flags, bool tables) {
    fs::remove(work / kOutputFileName);
    ProjectRun& project = resolve();
    HostPaths paths = hostpaths(project);
    setversionpath(paths, project, 1);
    Remote remote{entry.host, 0, nullptr, nullptr, nullptr};
    std::string log = "/trosk/proj/proj_1/trosk_proj.xml";
    LogDoc local, host;
    std::unique_ptr<StatAhead> ahead;
    EXPECT_EQ(local.load(rc, "trosk_proj.xml", tables ? kReadIndex : 0,
                         [&ahead](std::string_view text) { ahead = std::make_unique<StatAhead>(text); }),
              1);
    EXPECT_EQ(host.fetch(rc, remote, log.c_str(), tables ? kReadEntries : 0), 1);
    EXPECT_EQ(local.tabled && host.tabled, tables);
    CompareRequest q{.project = &project,
                     .paths = &paths,
                     .version = 1,
                     .flags = flags,
                     .localname = "trosk_proj.xml",
                     .maxfiles = 2};
    int result;
    if (tables) {
      q.remotetable = &host.table;
      q.localtable = &local.table;
      q.ahead = ahead.get();
      result = verify(rc, q);
    } else {
      q.remote = host.top();
      q.local = local.top();
      q.host = &remote;
      result = verify(rc, q);
    }
    closeoutput(rc);
    std::string alerts;
    for (const std::string& a : front.alerts) alerts += a + "\n";
    front.alerts.clear();
    return std::to_string(result) + "\n" + alerts + output();
  }
};

TEST_F(StatusTables, PrintWhatTheTreesPrint) {
  for (int flags : {CMD_STATUS, CMD_STATUS | CMD_LIST_ALL, CMD_STATUS | CMD_REPORT_ONLY,
                    CMD_STATUS | CMD_ZIP | CMD_LIST_ALL, CMD_STATUS | CMD_ZIP | CMD_INIT}) {
    std::string trees = status(flags, false);
    EXPECT_EQ(status(flags, true), trees) << flags;
  }
  EXPECT_NE(status(CMD_STATUS, true).find(" Lots of files to update (5), only 2 will"),
            std::string::npos);
}

}  // namespace
}  // namespace trosk::testing
