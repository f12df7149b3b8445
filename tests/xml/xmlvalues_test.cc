#include "xml/xmlvalues.h"

#include <gtest/gtest.h>

#include "xml/xmlnode.h"

namespace trosk {
namespace {

TEST(XmlHelpers, GetIntAndDeleteChild) {
  XmlTree t(xmlnode(nullptr, "trosk"));
  xmladdval(t.get(), "a", "12", kXmlText);
  xmladdval(t.get(), "b", "3.9", kXmlText);
  xmladdval(t.get(), "c", "x1", kXmlText);
  xmladdval(t.get(), "d", "7y", kXmlText);
  XmlNode* nest = xmlnode(t.get(), "nest");
  xmladdval(nest, "e", "5", kXmlText);
  EXPECT_EQ(xmlgetint(t.get(), "a", -1), 12);
  EXPECT_EQ(xmlgetint(t.get(), "b", -1), 3);
  EXPECT_EQ(xmlgetint(t.get(), "c", -1), -1);
  EXPECT_EQ(xmlgetint(t.get(), "d", -1), 7);
  EXPECT_EQ(xmlgetint(t.get(), "e", -1), 5);  // found below a child too
  EXPECT_EQ(xmlgetint(t.get(), "none", -2), -2);
  EXPECT_EQ(xmlgetint(nullptr, "a", -3), -3);
  XmlTree big(xmlnode(nullptr, "trosk"));
  xmladdval(big.get(), "huge", "99999999999999999999", kXmlText);
  xmladdval(big.get(), "edge", "2147483647", kXmlText);
  EXPECT_EQ(xmlgetint(big.get(), "huge", -1), 2147483647);  // held at the largest int
  EXPECT_EQ(xmlgetint(big.get(), "edge", -1), 2147483647);
  xmldelchild(t.get(), "a");
  EXPECT_EQ(xmlgetint(t.get(), "a", -1), -1);
  xmldelchild(t.get(), "e");  // not a direct child: stays
  EXPECT_EQ(xmlgetint(t.get(), "e", -1), 5);
  xmldelchild(t.get(), "trosk");  // never the node itself
  EXPECT_EQ(t->nchild, 4u);
}

TEST(ValueSetters, AppendNeverReplace) {
  XmlTree log(xmlnode(nullptr, "trosk"));
  xmlsetint(log.get(), "pversion", 3);
  xmlsetint(log.get(), "pversion", -4);
  xmlsetfloat(log.get(), "v", 2);
  EXPECT_EQ(log.get()->nchild, 3u);
  EXPECT_STREQ(xmlval(log.get()->first), "3");
  EXPECT_STREQ(xmlval(log.get()->first->next), "-4");
  EXPECT_STREQ(xmlval(log.get()->last), "2.000000");
}

}  // namespace
}  // namespace trosk
