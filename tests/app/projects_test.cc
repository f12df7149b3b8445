#include "app/projects.h"

#include <gtest/gtest.h>

#include <string>

#include "core/output.h"
#include "core/runerror.h"
#include "sync/run.h"
#include "testing/testing.h"

namespace trosk {
namespace {

using testing::FakeFrontend;
using testing::ScratchDir;
using testing::readfile;
using testing::writefile;

struct ProjectsTest : ::testing::Test {
  ScratchDir dir;
  FakeFrontend ui;
  trosk::Run run{ui};
  RunContext& rc = run.context;
  RunSettings& settings = run.settings;
  ProjectTable& table = run.projects;

  int read() { return readprojects(rc, table, kProjectListName); }
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
  ASSERT_EQ(read(), 2);
  const ProjectEntry& a = table[0];
  EXPECT_STREQ(a.name, "alphabet");
  EXPECT_STREQ(a.host, "/srv/one");
  EXPECT_STREQ(a.platform, "linux");
  EXPECT_EQ(a.version, 7);
  EXPECT_EQ(a.status, kStatusSource);  // "sour" abbreviates "source"
  EXPECT_EQ(a.release, 2);
  EXPECT_EQ(a.backup, 1);  // missing reads as on
  EXPECT_EQ(table[1].backup, 0);
  EXPECT_STREQ(table[1].host2, "/mnt/two");
}

TEST_F(ProjectsTest, UndottedNameIsPreferredAndMissingListIsEmpty) {
  EXPECT_EQ(read(), 0);
  writefile(".trosk_project.xml", "<trosk><project><name>hidden</name></project></trosk>");
  ASSERT_EQ(read(), 1);
  EXPECT_STREQ(table[0].name, "hidden");
  writefile("trosk_project.xml", "<trosk><project><name>plain</name></project></trosk>");
  ASSERT_EQ(read(), 1);
  EXPECT_STREQ(table[0].name, "plain");
  writefile("trosk_project.xml", "<trosk></trosk>");
  writefile(".trosk_project.xml", "<trosk></trosk>");
  EXPECT_EQ(read(), 0);
  EXPECT_STREQ(table[0].name, "plain");  // left as it was
}

TEST_F(ProjectsTest, LookupTakesTheFirstEntryBeginningWithTheText) {
  writefile("trosk_project.xml", kList);
  read();
  EXPECT_EQ(findproject(table, "alpha"), 0);  // alphabet comes first
  EXPECT_EQ(findproject(table, "ALP"), 0);
  EXPECT_EQ(findproject(table, "alphabets"), -1);
  EXPECT_EQ(findproject(table, ""), -1);
  EXPECT_EQ(findproject(table, nullptr), -1);
}

TEST_F(ProjectsTest, WrittenListKeepsOrderAndLeavesOutPlatformVersionPort) {
  writefile("trosk_project.xml", kList);
  read();
  ASSERT_EQ(writeprojects(rc, table, "out.xml"), 0);
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
  settings.projectName = "demo";
  selectproject(run);
  EXPECT_STREQ(settings.accessToken, kBuiltinCredential);
  settings.accessOption = "0";
  selectproject(run);
  EXPECT_EQ(settings.accessToken, nullptr);
  settings.accessOption = "dXNlcjpwdw==";
  selectproject(run);
  EXPECT_STREQ(settings.accessToken, "dXNlcjpwdw==");
}

TEST_F(ProjectsTest, NewProjectIsAppendedFromTheSettings) {
  writefile("trosk_project.xml", kList);
  settings.projectName = "zeta";
  settings.hostName = "/srv/zeta";
  settings.localHost = "/mnt/zeta";
  settings.suffix = ".z";
  settings.backup = 0;
  settings.addCount = 1;
  int index = selectproject(run);
  EXPECT_EQ(index, 2);
  EXPECT_EQ(settings.projectCount, 3);
  EXPECT_EQ(settings.listChanged, 1);
  const ProjectEntry& z = table[2];
  EXPECT_STREQ(z.host, "/srv/zeta");
  EXPECT_STREQ(z.host2, "/mnt/zeta");
  EXPECT_STREQ(z.suffix, ".z");
  EXPECT_EQ(z.status, kStatusSource);
  EXPECT_EQ(z.backup, 0);
}

TEST_F(ProjectsTest, ListedProjectIsFoundByAbbreviation) {
  writefile("trosk_project.xml", kList);
  settings.projectName = "ALPHAB";
  EXPECT_EQ(selectproject(run), 0);
  EXPECT_EQ(settings.listChanged, 0);
  EXPECT_EQ(rc.promptLevel, 1);  // listing all files still asks before overwriting
  settings.projectName = nullptr;
  EXPECT_EQ(selectproject(run), 0);  // every listed project from the first
}

TEST_F(ProjectsTest, AsksForANameWhenThereIsNoList) {
  ui.answers = {"  newproj  "};
  EXPECT_EQ(selectproject(run), 0);
  EXPECT_EQ(ui.questions.at(0), "Enter project name: ");
  EXPECT_STREQ(settings.projectName, "newproj");
  EXPECT_STREQ(table.at(0).name, "newproj");
  settings.projectName = nullptr;
  table.clear();
  try {
    selectproject(run);
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
  read();
  EXPECT_EQ(std::string(table[0].name), std::string(63, 'n'));
  EXPECT_STREQ(table[0].suffix, ".abcdefghij");
  EXPECT_EQ(table[0].version, 2147483647);  // held at the largest number, never wrapped
}

}  // namespace
}  // namespace trosk
