#include "app/projects.h"

#include <gtest/gtest.h>

#include <string>

#include "core/output.h"
#include "core/runerror.h"
#include "testing/testing.h"

namespace trosk {
namespace {

using testing::FakeFrontend;
using testing::ScratchDir;
using testing::readfile;
using testing::writefile;

struct ProjectsTest : ::testing::Test {
  void SetUp() override {
    projectTable.clear();
    runSettings = RunSettings{};
    accessOption = nullptr;
    promptLevel = 1;
  }
  void TearDown() override { projectTable.clear(); }
  ScratchDir dir;
  FakeFrontend ui;
};

constexpr const char* kList =
    "<trosk>\n"
    " <project>\n"
    "  <name>alphabet</name>\n"
    "  <host>/srv/one</host>\n"
    "  <platform>linux</platform>\n"
    "  <version>7</version>\n"
    "  <port>8080</port>\n"
    "  <status>sour</status>\n"
    "  <release>beta</release>\n"
    " </project>\n"
    " <project>\n"
    "  <name>alpha</name>\n"
    "  <host2>/mnt/two</host2>\n"
    "  <backup>0</backup>\n"
    "  <access>0</access>\n"
    " </project>\n"
    "</trosk>\n";

TEST_F(ProjectsTest, ReadsFieldsAndDefaults) {
  writefile("trosk_project.xml", kList);
  ASSERT_EQ(readprojects(kProjectListName), 2);
  const ProjectEntry& a = projectTable[0];
  EXPECT_STREQ(a.name, "alphabet");
  EXPECT_STREQ(a.hostPath, "/srv/one");
  EXPECT_STREQ(a.platform, "linux");
  EXPECT_EQ(a.version, 7);
  EXPECT_EQ(a.status, kStatusSource);  // "sour" abbreviates "source"
  EXPECT_EQ(a.release, 2);
  EXPECT_EQ(a.backup, 1);  // missing reads as on
  EXPECT_EQ(a.port, 0);    // never read
  EXPECT_EQ(projectTable[1].backup, 0);
  EXPECT_STREQ(projectTable[1].host2, "/mnt/two");
}

TEST_F(ProjectsTest, UndottedNameIsPreferredAndMissingListIsEmpty) {
  EXPECT_EQ(readprojects(kProjectListName), 0);
  writefile(".trosk_project.xml", "<trosk><project><name>hidden</name></project></trosk>");
  ASSERT_EQ(readprojects(kProjectListName), 1);
  EXPECT_STREQ(projectTable[0].name, "hidden");
  writefile("trosk_project.xml", "<trosk><project><name>plain</name></project></trosk>");
  ASSERT_EQ(readprojects(kProjectListName), 1);
  EXPECT_STREQ(projectTable[0].name, "plain");
  writefile("trosk_project.xml", "<trosk></trosk>");
  writefile(".trosk_project.xml", "<trosk></trosk>");
  EXPECT_EQ(readprojects(kProjectListName), 0);
  EXPECT_STREQ(projectTable[0].name, "plain");  // left as it was
}

TEST_F(ProjectsTest, LookupTakesTheFirstEntryBeginningWithTheText) {
  writefile("trosk_project.xml", kList);
  readprojects(kProjectListName);
  EXPECT_EQ(findproject("alpha"), 0);  // alphabet comes first
  EXPECT_EQ(findproject("ALP"), 0);
  EXPECT_EQ(findproject("alphabets"), -1);
  EXPECT_EQ(findproject(""), -1);
  EXPECT_EQ(findproject(nullptr), -1);
}

TEST_F(ProjectsTest, WrittenListKeepsOrderAndLeavesOutPlatformVersionPort) {
  writefile("trosk_project.xml", kList);
  readprojects(kProjectListName);
  ASSERT_EQ(writeprojects("out.xml"), 0);
  EXPECT_EQ(readfile("out.xml"),
            "<trosk>\n"
            " <project>\n"
            "  <name>alphabet</name>\n"
            "  <host>/srv/one</host>\n"
            "  <status>source</status>\n"
            "  <release>beta</release>\n"
            "  <backup>1</backup>\n"
            " </project>\n"
            " <project>\n"
            "  <name>alpha</name>\n"
            "  <host2>/mnt/two</host2>\n"
            "  <access>0</access>\n"
            "  <backup>0</backup>\n"
            " </project>\n"
            "</trosk>\n");
}

TEST_F(ProjectsTest, AccessOptionDecidesTheCredential) {
  runSettings.projectName = "demo";
  selectproject(runSettings);
  EXPECT_STREQ(runSettings.accessToken, kBuiltinCredential);
  accessOption = "0";
  selectproject(runSettings);
  EXPECT_EQ(runSettings.accessToken, nullptr);
  accessOption = "dXNlcjpwdw==";
  selectproject(runSettings);
  EXPECT_STREQ(runSettings.accessToken, "dXNlcjpwdw==");
}

TEST_F(ProjectsTest, NewProjectIsAppendedFromTheSettings) {
  writefile("trosk_project.xml", kList);
  runSettings.projectName = "zeta";
  runSettings.hostName = "/srv/zeta";
  runSettings.localHost = "/mnt/zeta";
  runSettings.suffix = ".z";
  runSettings.backup = 0;
  runSettings.addCount = 1;
  int index = selectproject(runSettings);
  EXPECT_EQ(index, 2);
  EXPECT_EQ(runSettings.projectCount, 3);
  EXPECT_EQ(runSettings.listChanged, 1);
  const ProjectEntry& z = projectTable[2];
  EXPECT_STREQ(z.host, "/srv/zeta");
  EXPECT_STREQ(z.host2, "/mnt/zeta");
  EXPECT_STREQ(z.suffix, ".z");
  EXPECT_EQ(z.status, kStatusSource);
  EXPECT_EQ(z.backup, 0);
  EXPECT_EQ(z.hostPath, z.host);
}

TEST_F(ProjectsTest, ListedProjectIsFoundByAbbreviation) {
  writefile("trosk_project.xml", kList);
  runSettings.projectName = "ALPHAB";
  EXPECT_EQ(selectproject(runSettings), 0);
  EXPECT_EQ(runSettings.listChanged, 0);
  EXPECT_EQ(promptLevel, 1);  // listing all files still asks before overwriting
  runSettings.projectName = nullptr;
  EXPECT_EQ(selectproject(runSettings), 0);  // every listed project from the first
}

TEST_F(ProjectsTest, AsksForANameWhenThereIsNoList) {
  ui.answers = {"  newproj  "};
  EXPECT_EQ(selectproject(runSettings), 0);
  EXPECT_EQ(ui.questions.at(0), "Enter project name: ");
  EXPECT_STREQ(runSettings.projectName, "newproj");
  EXPECT_STREQ(projectTable.at(0).name, "newproj");
  runSettings.projectName = nullptr;
  projectTable.clear();
  try {
    selectproject(runSettings);
    FAIL();
  } catch (const RunError& q) {
    EXPECT_EQ(q.code(), -1);
  }
  EXPECT_EQ(ui.alerts.back(), "TROSK error -- No project found");
}

TEST_F(ProjectsTest, LongValuesAreCutToTheFields) {
  std::string longname(100, 'n');
  writefile("trosk_project.xml",
            "<trosk><project><name>" + longname + "</name><suffix>.abcdefghijklmnop</suffix>"
            "<version>" + std::string(400, '9') + "</version></project></trosk>");
  readprojects(kProjectListName);
  EXPECT_EQ(std::string(projectTable[0].name), std::string(63, 'n'));
  EXPECT_STREQ(projectTable[0].suffix, ".abcdefghij");
  EXPECT_EQ(projectTable[0].version, 2147483647);  // held at the largest number, never wrapped
}

}  // namespace
}  // namespace trosk
