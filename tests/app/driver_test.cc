#include "app/driver.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/projects.h"
#include "core/output.h"
#include "core/runerror.h"
#include "sync/run.h"
#include "testing/testing.h"

namespace trosk {
namespace {

using testing::FakeFrontend;
using testing::ScratchDir;
using testing::readfile;

struct DriverTest : ::testing::Test {
  ProjectEntry& add(const char* name, const char* host) {
    ProjectEntry& e = run.projects.emplace_back();
    std::snprintf(e.name, sizeof e.name, "%s", name);
    std::snprintf(e.host, sizeof e.host, "%s", host);
    return e;
  }
  int dotrosk(int count, int flags) {
    run.flags = flags;
    return DoTrosk(run, 0, count);
  }
  std::string failure(int flags) {
    try {
      dotrosk(1, flags);
    } catch (const RunError& q) {
      EXPECT_EQ(q.code(), -1);
      return ui.alerts.back();
    }
    return "no failure";
  }
  ScratchDir dir;
  FakeFrontend ui;
  trosk::Run run{ui};
  RunSettings& settings = run.settings;
};

TEST_F(DriverTest, UploadNeedsASourceProject) {
  add("demo", dir.path.c_str());
  EXPECT_EQ(failure(CMD_UPLOAD | CMD_DOWNLOAD),
            "TROSK error -- Can only upload files from project 'source'");
}

TEST_F(DriverTest, UploadNeedsADirectPath) {
  add("demo", "files.example:8080").status = kStatusSource;
  EXPECT_EQ(failure(CMD_UPLOAD | CMD_DOWNLOAD),
            "TROSK error -- Need direct local host path (-Host) to trosk dir to add files");
}

TEST_F(DriverTest, UploadSwitchesToHost2WhenTheHostIsNotLocal) {
  std::filesystem::create_directories("host/trosk");
  ProjectEntry& e = add("demo", "files.example");
  std::snprintf(e.host2, sizeof e.host2, "%s/host", dir.path.c_str());
  settings.source = 1;
  dotrosk(1, CMD_UPLOAD | CMD_CURRENT | CMD_INIT);
  EXPECT_EQ(e.status, kStatusSource);
  EXPECT_TRUE(std::filesystem::exists("host/trosk/demo/current.xml"));
}

TEST_F(DriverTest, SingleProjectOperationsRunOnlyTheFirstEntry) {
  add("one", dir.path.c_str());
  add("two", dir.path.c_str());
  add("three", dir.path.c_str());
  run.context.verboseLevel = 1;
  dotrosk(3, CMD_VERIFY);  // no local log and no answer: each run stops early
  std::string printed = readfile(kOutputFileName);
  EXPECT_NE(printed.find("DoTrosk: one 0\n"), std::string::npos);
  EXPECT_EQ(printed.find("DoTrosk: two"), std::string::npos);
  run.context.verboseLevel = 0;
  closeoutput(run.context);
  ui.questions.clear();
  dotrosk(3, CMD_STATUS);
  EXPECT_EQ(ui.questions.size(), 3u);  // every project asks about its missing local log
}

TEST_F(DriverTest, OverridesApplyToEachEntry) {
  ProjectEntry& e = add("demo", "/nowhere");
  e.status = kStatusSource;
  testing::writefile("trosk_demo.xml", "<trosk>\n <pversion>1</pversion>\n</trosk>\n");
  settings.platform = "linux";
  settings.source = -1;
  settings.hostName = "/elsewhere";
  settings.localHost = "/mnt/local";
  EXPECT_THROW(dotrosk(1, CMD_STATUS), RunError);  // nothing is served at /elsewhere
  EXPECT_NE(readfile(kOutputFileName).find("\nProject: demo     Host: /elsewhere\n"),
            std::string::npos);
  EXPECT_STREQ(e.platform, "linux");
  EXPECT_EQ(e.status, 0);
  EXPECT_STREQ(e.host, "/nowhere");  // the list keeps its own host
  EXPECT_STREQ(e.host2, "/mnt/local");
}

}  // namespace
}  // namespace trosk
