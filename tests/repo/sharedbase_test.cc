#include "repo/sharedbase.h"

#include <gtest/gtest.h>

#include <string>

#include "testing/testing.h"
#include "xml/xmlfind.h"
#include "xml/xmlparse.h"
#include "xml/xmlvalues.h"

namespace trosk {
namespace {

struct SharedBaseTest : ::testing::Test {
  testing::ScratchDir dir;
  testing::FakeContext ctx;
  std::string text;
  XmlTree tree;
  XmlNode* parse(std::string xml) {
    text = std::move(xml);
    tree.reset(xmlparsetext(ctx.rc, text.data()));
    return tree.get();  // the document element
  }
};

TEST_F(SharedBaseTest, SwitchingVersionsKeepsWhatEachHeld) {
  XmlNode* log = parse("<trosk><pversion>1</pversion><subversion>3</subversion></trosk>");
  EXPECT_EQ(sharedsubversion(log, 1), 3);
  switchshared(log, 4);
  setchildint(log, "pversion", 4);
  setchildint(log, "subversion", 2);
  EXPECT_EQ(sharedsubversion(log, 1), 3);
  EXPECT_EQ(sharedsubversion(log, 4), 2);
  switchshared(log, 1);  // back: 1 is the log's own again, 4 a record
  setchildint(log, "pversion", 1);
  setchildint(log, "subversion", 5);
  EXPECT_EQ(sharedsubversion(log, 4), 2);
  EXPECT_EQ(sharedsubversion(log, 1), 5);
  EXPECT_STREQ(xmlval(xmlchild(log, "shared", 1)), "4/2");
  EXPECT_EQ(sharedsubversion(log, 7), 0);
}

TEST_F(SharedBaseTest, AnAddCarriesTheRecordsOfTheLocalLogItReplaces) {
  testing::writefile("trosk_p.xml",
                     "<trosk>\n <pversion>2</pversion>\n <subversion>6</subversion>\n"
                     " <file><name>a</name></file>\n <shared>1/4 x/y 3/0 5/1</shared>\n</trosk>\n");
  XmlNode* log = parse("<trosk><pversion>5</pversion><subversion>1</subversion></trosk>");
  carryshared(ctx.rc, "trosk_p.xml", log, 5);
  // Pairs that are no versions are passed over; 5 is the new log's own.
  EXPECT_STREQ(xmlval(xmlchild(log, "shared", 1)), "1/4 2/6");
}

TEST_F(SharedBaseTest, OnlyTheMostRecentRecordsAreKept) {
  XmlNode* log = parse("<trosk><pversion>1</pversion><subversion>1</subversion></trosk>");
  for (int v = 2; v <= kSharedVersionsKept + 3; ++v) {
    switchshared(log, v);
    setchildint(log, "pversion", v);
  }
  // Versions 1 to kSharedVersionsKept + 2 were left: the first two are forgotten.
  EXPECT_EQ(sharedsubversion(log, 1), 0);
  EXPECT_EQ(sharedsubversion(log, 2), 0);
  EXPECT_EQ(sharedsubversion(log, 3), 1);
}

}  // namespace
}  // namespace trosk
