#include "repo/hostops.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/output.h"
#include "core/runerror.h"
#include "repo/projectlog.h"
#include "core/vtp.h"
#include "testing/testing.h"
#include "xml/xmlfind.h"
#include "xml/xmlparse.h"
#include "xml/xmlvalues.h"

namespace trosk {
namespace {

namespace fs = std::filesystem;
using testing::readfile;
using testing::writefile;

constexpr char kProjectDir[] = "host/trosk/proj";
constexpr char kVersion1[] = "host/trosk/proj/proj_1";

// One project's turn on a direct host path, as the driver resolves it.
struct HostTest : ::testing::Test {
  testing::ScratchDir dir;
  testing::FakeContext ctx;
  testing::FakeFrontend& ui = ctx.fake;
  RunSettings settings;
  ProjectEntry entry;
  ProjectRun project{entry};

  void SetUp() override {
    std::snprintf(entry.name, sizeof entry.name, "proj");
    std::snprintf(entry.host, sizeof entry.host, "host");
    project.host = project.hostroot = "host";
    project.troskdir = "trosk";
    fs::create_directories("host/trosk");
    settings.commentText = "test";
  }

  int add(std::initializer_list<const char*> names, int flags = CMD_UPLOAD, int version = 0,
          int subversion = 0) {
    settings.addFiles.assign(names.begin(), names.end());
    settings.addCount = static_cast<int32_t>(names.size());
    return addfiles(ctx.rc, settings, project, version, subversion, flags);
  }

  // Runs addfiles expecting the process to end; returns the alert shown.
  std::string addfatal(std::initializer_list<const char*> names, int flags = CMD_UPLOAD,
                       int version = 0, int subversion = 0) {
    try {
      add(names, flags, version, subversion);
    } catch (const RunError& quit) {
      EXPECT_EQ(quit.code(), -1);
      return ui.alerts.empty() ? "" : ui.alerts.back();
    }
    ADD_FAILURE() << "the process did not end";
    return "";
  }

  int readint(const std::string& path, const char* name) {
    XmlDocument doc;
    if (xmlload(ctx.rc, path.c_str(), doc, kXmlLoadAny | kXmlLoadKeepText) != 1) return -100;
    return xmlgetint(doc.root.get(), name, -99);
  }

  std::string sourceof(const std::string& logpath, const char* name) {
    XmlDocument doc;
    if (xmlload(ctx.rc, logpath.c_str(), doc, kXmlLoadAny | kXmlLoadKeepText) != 1) return "?";
    XmlNode* e = findfilenode(ctx.rc, doc.root.get(), name);
    std::string source = e ? xmlpathval(e, "source") : "none";
    return source;
  }

  static std::string output() { return readfile("trosk_tmp.txt"); }
};

TEST_F(HostTest, FirstAddMakesTheWholeLayout) {
  writefile("a.txt", "hello\n");
  EXPECT_EQ(add({"a.txt"}), 1);
  EXPECT_EQ(readint(std::string(kProjectDir) + "/current.xml", "pversion"), 1);
  EXPECT_TRUE(fs::is_directory(kVersion1));
  std::string log = std::string(kVersion1) + "/trosk_proj.xml";
  EXPECT_EQ(readint(log, "pversion"), 1);
  EXPECT_EQ(readint(log, "subversion"), 1);
  EXPECT_EQ(readint(std::string(kVersion1) + "/trosk_proj_1.xml", "subversion"), 1);
  EXPECT_EQ(readfile(std::string(kVersion1) + "/a.txt_v1"), "hello\n");
  EXPECT_EQ(sourceof(log, "a.txt"), "a.txt_v1");
  EXPECT_EQ(readint("trosk_proj.xml", "subversion"), 1);  // the local log
  EXPECT_FALSE(fs::exists("stagefile.xml"));
  EXPECT_NE(output().find("Make CURRENT V=1, Beta=0, Alpha=0 -1 0\n"), std::string::npos);
  std::string vlog = readfile(std::string(kProjectDir) + "/versionlog.txt");
  EXPECT_NE(vlog.find("     1/1     Created new version -- test\n"), std::string::npos) << vlog;
}

TEST_F(HostTest, UnchangedFileIsStoredOnceAndChangedOneGetsANewName) {
  writefile("a.txt", "one\n");
  ASSERT_EQ(add({"a.txt"}), 1);
  ASSERT_EQ(add({"a.txt"}), 1);
  EXPECT_FALSE(fs::exists(std::string(kVersion1) + "/a.txt_v2"));
  writefile("a.txt", "two, longer\n");
  ASSERT_EQ(add({"a.txt"}), 1);
  EXPECT_EQ(readfile(std::string(kVersion1) + "/a.txt_v1"), "one\n");
  EXPECT_EQ(readfile(std::string(kVersion1) + "/a.txt_v2"), "two, longer\n");
  std::string log = std::string(kVersion1) + "/trosk_proj.xml";
  EXPECT_EQ(sourceof(log, "a.txt"), "a.txt_v2");
  std::string vlog = readfile(std::string(kProjectDir) + "/versionlog.txt");
  EXPECT_NE(vlog.find("Added files"), std::string::npos);
  // The catalogue was written by the first run only.
  std::string out = output();
  EXPECT_EQ(out.find("Make CURRENT"), out.rfind("Make CURRENT"));
}

TEST_F(HostTest, SuffixOfTheEntryFollowsTheNumber) {
  std::snprintf(entry.suffix, sizeof entry.suffix, ".txt");
  writefile("r.md", "x");
  ASSERT_EQ(add({"r.md"}), 1);
  EXPECT_TRUE(fs::exists(std::string(kVersion1) + "/r.md_v1.txt"));
}

TEST_F(HostTest, BinaryFilesAreStoredAsVtpUnlessDecodingIsOff) {
  std::string data("\x00\x01\x02\xff binary", 11);
  writefile("sub/b.bin", data);
  ASSERT_EQ(add({"sub/b.bin"}), 1);
  std::string armour = readfile(std::string(kVersion1) + "/b.bin.vtp_v1");
  EXPECT_TRUE(isvtp(armour));
  std::string back;
  ASSERT_EQ(vtpdecodestring(armour, &back), 0);
  EXPECT_EQ(back, data);
  EXPECT_EQ(sourceof(std::string(kVersion1) + "/trosk_proj.xml", "sub/b.bin"), "b.bin.vtp_v1");

  writefile("c.bin", data);
  ASSERT_EQ(add({"c.bin"}, CMD_UPLOAD | CMD_NO_DECODE), 1);
  EXPECT_EQ(readfile(std::string(kVersion1) + "/c.bin_v1"), data);
}

TEST_F(HostTest, EmptyMissingAndOutsideNamesAreSkipped) {
  writefile("empty.txt", "");
  writefile("ok.txt", "ok");
  fs::create_directories("inner");
  writefile("../outside.txt", "secret");
  ASSERT_EQ(add({"empty.txt", "gone.txt", "../outside.txt", "/etc/hostname", "inner/../../x",
                 "..\\outside.txt", "C:x", "ok.txt"}),
            1);
  std::string out = output();
  EXPECT_NE(out.find("Skipping empty/missing file: empty.txt\n"), std::string::npos);
  EXPECT_NE(out.find("Skipping empty/missing file: gone.txt\n"), std::string::npos);
  for (const char* name :
       {"../outside.txt", "/etc/hostname", "inner/../../x", "..\\outside.txt", "C:x"}) {
    EXPECT_NE(out.find(std::string("Refusing file outside the working directory: ") + name + "\n"),
              std::string::npos)
        << name;
  }
  std::size_t stored = 0;
  for (const auto& e : fs::directory_iterator(kVersion1)) {
    std::string n = e.path().filename().string();
    if (n.rfind("trosk_", 0) != 0) ++stored;
  }
  EXPECT_EQ(stored, 1u);  // ok.txt only
  fs::remove("../outside.txt");
}

TEST_F(HostTest, ListAllPrintsEachFileAndTheCatalogue) {
  writefile("a.txt", "abc");
  ASSERT_EQ(add({"a.txt"}, CMD_UPLOAD | CMD_LIST_ALL), 1);
  std::string out = output();
  EXPECT_NE(out.find("Create new CURRENT.XML file V=1, Beta=0, Alpha=0 <host/trosk/proj/"
                     "current.xml> -1\n"),
            std::string::npos)
      << out;
  char expect[256];
  std::snprintf(expect, sizeof expect, "Adding: %-36.36s 1 0 ", "host/trosk/proj/proj_1/a.txt");
  EXPECT_NE(out.find(expect), std::string::npos) << out;
  EXPECT_NE(out.find(" 0.0 a.txt\n"), std::string::npos) << out;
}

TEST_F(HostTest, HiddenLocalLogAndArchiveEntries) {
  writefile("z.zip", "zip");
  ASSERT_EQ(add({"z.zip"}, CMD_UPLOAD | CMD_HIDDEN | CMD_ZIP), 1);
  EXPECT_TRUE(fs::exists(".trosk_proj.xml"));
  EXPECT_FALSE(fs::exists("trosk_proj.xml"));
  std::string text = readfile(".trosk_proj.xml");
  EXPECT_NE(text.find("<archive>"), std::string::npos);
}

TEST_F(HostTest, NewCatalogueTakesTheReleaseLevel) {
  project.release = kReleaseBeta;
  writefile("a.txt", "a");
  ASSERT_EQ(add({"a.txt"}, CMD_UPLOAD, 4), 1);
  std::string cat = std::string(kProjectDir) + "/current.xml";
  EXPECT_EQ(readint(cat, "pversion"), 4);
  EXPECT_EQ(readint(cat, "beta"), 4);
  EXPECT_EQ(readint(cat, "alpha"), -99);
  EXPECT_TRUE(fs::is_directory("host/trosk/proj/proj_4"));
}

TEST_F(HostTest, VersionComesFromTheCatalogueByReleaseLevel) {
  fs::create_directories(kProjectDir);
  writefile(std::string(kProjectDir) + "/current.xml",
            "<trosk>\n <project>\n  <pversion>2</pversion>\n  <beta>3</beta>\n"
            "  <alpha>5</alpha>\n </project>\n</trosk>\n");
  writefile("a.txt", "a");
  ASSERT_EQ(add({"a.txt"}), 1);
  EXPECT_TRUE(fs::is_directory("host/trosk/proj/proj_2"));
  project.release = kReleaseAlpha;
  ASSERT_EQ(add({"a.txt"}), 1);
  EXPECT_TRUE(fs::is_directory("host/trosk/proj/proj_5"));
  project.release = kReleaseBeta;
  ASSERT_EQ(add({"a.txt"}), 1);
  EXPECT_TRUE(fs::is_directory("host/trosk/proj/proj_3"));
  EXPECT_EQ(output().find("Make CURRENT"), std::string::npos);
}

TEST_F(HostTest, CurrentSetsTheNumbersOrRewritesThePresentOnes) {
  fs::create_directories(kProjectDir);
  std::string cat = std::string(kProjectDir) + "/current.xml";
  writefile(cat,
            "<trosk>\n <project>\n  <user>bob</user>\n  <stable>2</stable>\n"
            " </project>\n</trosk>\n");
  project.user = "bob";
  EXPECT_EQ(add({}, CMD_UPLOAD | CMD_CURRENT), 0);
  EXPECT_EQ(readint(cat, "pversion"), 2);
  EXPECT_EQ(readint(cat, "stable"), -99);  // replaced by "pversion"
  EXPECT_NE(output().find("Make CURRENT V=2, Beta=0, Alpha=0 1 0\n"), std::string::npos);
  settings.current[0] = 3;
  settings.current[1] = 6;
  settings.current[2] = 7;
  settings.currentMask = 7;
  EXPECT_EQ(add({}, CMD_UPLOAD | CMD_CURRENT), 0);
  EXPECT_EQ(readint(cat, "pversion"), 3);
  EXPECT_EQ(readint(cat, "beta"), 6);
  EXPECT_EQ(readint(cat, "alpha"), 7);
  std::string text = readfile(cat);
  EXPECT_EQ(text.find("<pversion>"), text.rfind("<pversion>"));
  EXPECT_NE(text.find("<user>bob</user>"), std::string::npos);
  EXPECT_FALSE(fs::exists("host/trosk/proj/proj_2"));  // nothing was added
}

TEST_F(HostTest, UsersOfATopLevelCatalogueMoveIntoAProject) {
  fs::create_directories(kProjectDir);
  std::string cat = std::string(kProjectDir) + "/current.xml";
  writefile(cat,
            "<trosk>\n <user>ann</user>\n <pversion>1</pversion>\n <user>bob</user>\n</trosk>\n");
  std::snprintf(entry.platform, sizeof entry.platform, "linux");
  project.user = "bob";
  EXPECT_EQ(add({}, CMD_UPLOAD | CMD_CURRENT), 0);
  EXPECT_NE(output().find("Make CURRENT V=1, Beta=0, Alpha=0 1 1\n"), std::string::npos);
  XmlDocument doc;
  ASSERT_EQ(xmlload(ctx.rc, cat.c_str(), doc, kXmlLoadAny | kXmlLoadKeepText), 1);
  XmlNode* project = xmlchild(doc.root.get(), "project", 1);
  ASSERT_NE(project, nullptr);
  EXPECT_EQ(xmlchild(doc.root.get(), "user", 1), nullptr);  // none left at the top
  EXPECT_STREQ(xmlval(xmlchild(project, "user", 1)), "ann");
  EXPECT_STREQ(xmlval(xmlchild(project, "user", 2)), "bob");
  EXPECT_STREQ(xmlpathval(project, "platform"), "linux");
  EXPECT_EQ(xmlgetint(project, "pversion", 0), 1);
}

TEST_F(HostTest, UnauthorisedUserIsWarnedAndNothingIsAdded) {
  fs::create_directories(kProjectDir);
  writefile(std::string(kProjectDir) + "/current.xml",
            "<trosk><project><user>anyone</user><user>bob</user></project></trosk>\n");
  project.user = "carl";
  writefile("a.txt", "a");
  EXPECT_EQ(add({"a.txt"}), 0);
  ASSERT_EQ(ui.alerts.size(), 1u);
  EXPECT_EQ(ui.alerts[0], "TROSK Warning -- Unauthorized user for project proj -- Access denied");
  EXPECT_FALSE(fs::exists(kVersion1));
  project.user = "bob";
  EXPECT_EQ(add({"a.txt"}), 1);
}

TEST_F(HostTest, MissingRootIsFatal) {
  fs::remove_all("host");
  writefile("a.txt", "a");
  EXPECT_EQ(addfatal({"a.txt"}), "TROSK error -- Trosk root directory <host/trosk> not found");
  project.troskdir = "other";
  fs::create_directories("host/trosk");
  EXPECT_EQ(addfatal({"a.txt"}), "TROSK error -- Trosk root directory <host/other> not found");
}

TEST_F(HostTest, ProjectPathThatIsAFileIsFatal) {
  writefile(kProjectDir, "not a directory");
  EXPECT_EQ(addfatal({"a.txt"}), "TROSK error -- <host/trosk/proj> not valid directory");
}

TEST_F(HostTest, VersionPathThatIsAFileIsFatal) {
  fs::create_directories(kProjectDir);
  writefile(kVersion1, "in the way");
  writefile("a.txt", "a");
  EXPECT_EQ(addfatal({"a.txt"}), "TROSK error -- Mkdir <host/trosk/proj/proj_1> failed");
}

TEST_F(HostTest, UnreadableCatalogueOrLogIsNotReplaced) {
  fs::create_directories(kVersion1);
  std::string cat = std::string(kProjectDir) + "/current.xml";
  writefile(cat, "garbage without any element");
  writefile("a.txt", "a");
  EXPECT_EQ(addfatal({"a.txt"}), "TROSK error -- Error reading file: " + cat);
  EXPECT_EQ(readfile(cat), "garbage without any element");
  fs::remove(cat);
  std::string log = std::string(kVersion1) + "/trosk_proj.xml";
  writefile(log, "");
  EXPECT_EQ(addfatal({"a.txt"}), "TROSK error -- Error reading file: " + log);
  EXPECT_EQ(readfile(log), "");
  EXPECT_FALSE(fs::exists(std::string(kVersion1) + "/a.txt_v1"));
}

TEST_F(HostTest, MissingLogForALaterSubversionIsFatal) {
  writefile("a.txt", "a");
  EXPECT_EQ(addfatal({"a.txt"}, CMD_UPLOAD, 1, 2),
            "TROSK error -- Log file not found: host/trosk/proj/proj_1/trosk_proj.xml");
}

TEST_F(HostTest, SubversionIsRaisedToTheLogsAndRecorded) {
  writefile("a.txt", "a");
  ASSERT_EQ(add({"a.txt"}), 1);
  std::string log = std::string(kVersion1) + "/trosk_proj.xml";
  writefile("b.txt", "b");
  ASSERT_EQ(add({"b.txt"}, CMD_UPLOAD, 1, 2), 1);
  EXPECT_EQ(readint(log, "subversion"), 2);
  EXPECT_EQ(readint(std::string(kVersion1) + "/trosk_proj_2.xml", "subversion"), 2);
  EXPECT_EQ(readint(std::string(kVersion1) + "/trosk_proj_1.xml", "subversion"), 1);
  // Written once, under both names; the next publication leaves it alone.
  EXPECT_TRUE(fs::equivalent(log, std::string(kVersion1) + "/trosk_proj_2.xml"));
  writefile("c.txt", "c");
  ASSERT_EQ(add({"c.txt"}), 1);  // no subversion asked: the log's one is kept
  EXPECT_EQ(readint(log, "subversion"), 2);
  std::string text = readfile(log);
  EXPECT_EQ(text.find("<subversion>"), text.rfind("<subversion>"));
}

TEST_F(HostTest, FailedSnapshotIsFatalAndLeavesThePublishedLog) {
  writefile("a.txt", "one");
  ASSERT_EQ(add({"a.txt"}), 1);
  std::string log = std::string(kVersion1) + "/trosk_proj.xml";
  std::string snapshot = std::string(kVersion1) + "/trosk_proj_1.xml";
  fs::remove(snapshot);
  fs::create_directories(snapshot);
  writefile("b.txt", "two");
  EXPECT_EQ(addfatal({"b.txt"}), "TROSK error -- Error writing file: " + snapshot);
  // The frozen copy comes first: the published log still names what it did.
  EXPECT_EQ(sourceof(log, "b.txt"), "none");
  EXPECT_EQ(sourceof(log, "a.txt"), "a.txt_v1");
  for (const auto& e : fs::directory_iterator(kVersion1)) {
    EXPECT_EQ(e.path().filename().string().find(".trosk-"), std::string::npos);
  }
}

TEST_F(HostTest, UnwritableVersionLogIsFatal) {
  writefile("a.txt", "a");
  fs::create_directories(std::string(kProjectDir) + "/versionlog.txt");
  std::string alert = addfatal({"a.txt"});
  EXPECT_EQ(alert, "TROSK error -- Error writing file: host/trosk/proj/versionlog.txt");
}

}  // namespace
}  // namespace trosk
