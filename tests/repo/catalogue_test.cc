#include "repo/catalogue.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "repo/hostpaths.h"
#include "xml/xmlnode.h"

namespace trosk {
namespace {

TEST(PlatformProject, FirstServingProjectOrTheRoot) {
  XmlTree cat(xmlnode(nullptr, "trosk"));
  EXPECT_EQ(platformproject(cat.get(), "linux"), cat.get());
  XmlNode* win = xmlnode(cat.get(), "project");
  xmladdval(win, "platform", "win32", kXmlText);
  XmlNode* lin = xmlnode(cat.get(), "project");
  xmladdval(lin, "platform", "linux", kXmlText);
  XmlNode* any = xmlnode(cat.get(), "project");
  EXPECT_EQ(platformproject(cat.get(), ""), win);
  EXPECT_EQ(platformproject(cat.get(), nullptr), win);
  EXPECT_EQ(platformproject(cat.get(), "linux"), lin);
  EXPECT_EQ(platformproject(cat.get(), "Linux"), any);  // exact match only
  xmlfree(any, kXmlFreeUnlink);
  EXPECT_EQ(platformproject(cat.get(), "mac"), cat.get());
}

TEST(UserAccess, BothOrdersOfANameAndAny) {
  XmlTree p(xmlnode(nullptr, "project"));
  EXPECT_EQ(useraccess(p.get(), "x"), 1);  // no users: everybody
  xmladdval(p.get(), "user", "bob", kXmlText);
  xmladdval(p.get(), "user", "anybody", kXmlText);
  EXPECT_EQ(useraccess(p.get(), "carl"), 1);
  EXPECT_EQ(useraccess(p.get(), "bob"), 1);
  XmlTree q(xmlnode(nullptr, "project"));
  xmladdval(q.get(), "user", "any", kXmlText);
  xmladdval(q.get(), "user", "bob", kXmlText);
  xmlnode(q.get(), "user");  // no value: does not count as the last one
  EXPECT_EQ(useraccess(q.get(), "carl"), 0);
  EXPECT_EQ(useraccess(q.get(), "bob"), 1);
  EXPECT_EQ(useraccess(q.get(), nullptr), 0);
}

// The run's troskdir (chosen by the driver) roots both directories.
TEST(HostPaths, VersionAndProjectDirectoriesBelowTheTroskDir) {
  ProjectEntry e;
  std::snprintf(e.name, sizeof e.name, "proj");
  ProjectRun p(e);
  p.troskdir = "rd";
  HostPaths paths = hostpaths(p);
  EXPECT_EQ(paths.hostTroskDir, "rd");
  setversionpath(paths, p, 3);
  EXPECT_EQ(paths.versionPath, "rd/proj/proj_3");
  EXPECT_EQ(projectdir("/h", paths, p), "/h/rd/proj");
}

}  // namespace
}  // namespace trosk
