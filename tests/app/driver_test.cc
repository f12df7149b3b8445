#include "app/driver.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/projects.h"
#include "core/output.h"
#include "core/runerror.h"
#include "testing/testing.h"

namespace trosk {
namespace {

using testing::FakeFrontend;
using testing::ScratchDir;
using testing::readfile;

struct DriverTest : ::testing::Test {
  void SetUp() override {
    projectTable.clear();
    runSettings = RunSettings{};
    verboseLevel = 0;
    promptLevel = 1;
    showMode = 0;
  }
  void TearDown() override {
    projectTable.clear();
    verboseLevel = 0;
  }
  ProjectEntry& add(const char* name, const char* host) {
    ProjectEntry& e = projectTable.emplace_back();
    std::snprintf(e.name, sizeof e.name, "%s", name);
    std::snprintf(e.host, sizeof e.host, "%s", host);
    e.hostPath = e.host;
    return e;
  }
  std::string failure(int flags) {
    try {
      DoTrosk(0, 1, flags, runSettings);
    } catch (const RunError& q) {
      EXPECT_EQ(q.code(), -1);
      return ui.alerts.back();
    }
    return "no failure";
  }
  ScratchDir dir;
  FakeFrontend ui;
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
  runSettings.source = 1;
  DoTrosk(0, 1, CMD_UPLOAD | CMD_CURRENT | CMD_INIT, runSettings);
  EXPECT_EQ(e.status, kStatusSource | kStatusHost2);
  EXPECT_TRUE(std::filesystem::exists("host/trosk/demo/current.xml"));
}

TEST_F(DriverTest, SingleProjectOperationsRunOnlyTheFirstEntry) {
  add("one", dir.path.c_str());
  add("two", dir.path.c_str());
  add("three", dir.path.c_str());
  verboseLevel = 1;
  DoTrosk(0, 3, CMD_VERIFY, runSettings);  // no local log and no answer: each run stops early
  std::string printed = readfile(kOutputFileName);
  EXPECT_NE(printed.find("DoTrosk: one 0\n"), std::string::npos);
  EXPECT_EQ(printed.find("DoTrosk: two"), std::string::npos);
  verboseLevel = 0;
  closeoutput();
  ui.questions.clear();
  DoTrosk(0, 3, CMD_STATUS, runSettings);
  EXPECT_EQ(ui.questions.size(), 3u);  // every project asks about its missing local log
}

TEST_F(DriverTest, OverridesApplyToEachEntry) {
  ProjectEntry& e = add("demo", "/nowhere");
  e.status = kStatusSource | kStatusHost2;
  runSettings.platform = "linux";
  runSettings.source = -1;
  runSettings.hostName = "/elsewhere";
  runSettings.localHost = "/mnt/local";
  DoTrosk(0, 1, CMD_STATUS, runSettings);
  EXPECT_STREQ(e.platform, "linux");
  EXPECT_EQ(e.status, 0);
  EXPECT_STREQ(e.hostPath, "/elsewhere");
  EXPECT_STREQ(e.host, "/nowhere");
  EXPECT_STREQ(e.host2, "/mnt/local");
}

}  // namespace
}  // namespace trosk
