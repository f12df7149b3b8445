#include "xml/xmlnode.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "testing/testing.h"
#include "xml/xmlfind.h"
#include "xml/xmlparse.h"
#include "xml/xmlquery.h"

namespace trosk {
namespace {

// The texts here parse without a message, so each parse has a run of its own.
struct Parsed {
  explicit Parsed(std::string t) : text(std::move(t)) {
    root.reset(xmlparsetext(context.rc, text.data()));
  }
  testing::FakeContext context;
  std::string text;
  XmlTree root;
};

std::string name(const XmlNode* node) {
  return node && node->name ? std::string(node->name, static_cast<std::size_t>(node->namelen)) : "";
}

// Children of `parent`, checked against the list invariants.
std::string childnames(const XmlNode* parent) {
  std::string names;
  uint32_t count = 0;
  const XmlNode* prev = nullptr;
  for (const XmlNode* c = parent->first; c; c = c->next) {
    EXPECT_EQ(c->parent, parent);
    EXPECT_EQ(c->prev, prev);
    names += name(c) + " ";
    prev = c;
    ++count;
  }
  EXPECT_EQ(parent->last, prev);
  EXPECT_EQ(parent->nchild, count);
  return names;
}

TEST(XmlNodeTest, BuildsTreesWithOwnedNamesAndValues) {
  XmlTree root(xmlnode(nullptr, "trosk"));
  char buffer[] = "file";
  XmlNode* f = xmlnode(root.get(), buffer);
  buffer[0] = 'X';  // the name was copied
  EXPECT_EQ(name(f), "file");
  EXPECT_TRUE(f->flags & kXmlNameOwned);
  XmlNode* v = xmladdval(f, "name", "a.txt", kXmlText);
  EXPECT_EQ(v->type, kXmlText);
  EXPECT_EQ(v->vallen, 5);
  EXPECT_TRUE(v->flags & kXmlValueOwned);
  XmlNode* e = xmladdval(f, "size", "", kXmlText);
  EXPECT_EQ(e->vallen, 0);
  EXPECT_EQ(e->value, nullptr);
  EXPECT_EQ(xml_val(e, "120"), 3);
  EXPECT_EQ(xml_val(e, "99999"), 5);  // the old copy is freed (checked by the leak checker)
  EXPECT_EQ(xml_val(v, ""), 0);
  EXPECT_EQ(v->value, nullptr);
  XmlNode* anon = xmlnode(root.get(), "");
  EXPECT_EQ(anon->name, nullptr);
  EXPECT_EQ(childnames(root.get()), "file  ");
  EXPECT_EQ(childnames(f), "name size ");
  EXPECT_EQ(xmlnchild(f), 2u);
}

TEST(XmlNodeTest, ValueBuffersAreShared) {
  XmlTree root(xmlnode(nullptr, "r"));
  XmlNode* a = xmladdval(root.get(), "a", "first", 3);
  XmlNode* b = xmladdval(root.get(), "b", "second", 3);
  EXPECT_STREQ(xmlval(root.get()), "");
  const char* one = xmlval(a);
  const char* two = xmlval(b);
  EXPECT_EQ(one, two);  // short values share one buffer
  EXPECT_STREQ(one, "second");
  std::string longer(5000, 'L');
  XmlNode* c = xmladdval(root.get(), "c", longer.c_str(), 3);
  EXPECT_EQ(xmlval(c), longer);
  EXPECT_EQ(xmlval(c), longer);  // the previous long copy is replaced, not leaked
  EXPECT_EQ(xmlpathval(root.get(), "nothing"), nullptr);
  EXPECT_STREQ(xmlpathval(root.get(), "b"), "second");
}

TEST(XmlNodeTest, ValuesAndCountsBeyondSixteenBits) {
  XmlTree root(xmlnode(nullptr, "trosk"));
  for (int i = 0; i < 70000; ++i) xmlnode(root.get(), "file");
  EXPECT_EQ(xmlnchild(root.get()), 70000u);
  std::string huge(100000, 'v');
  XmlNode* v = xmladdval(root.get(), "big", huge.c_str(), 3);
  EXPECT_EQ(v->vallen, 100000);
  EXPECT_EQ(std::strlen(xmlval(v)), 100000u);
}

TEST(XmlNodeTest, FreedNodesAreUsedAgainAndTreesKeepApart) {
  XmlTree one(xmlnode(nullptr, "one"));
  XmlTree two(xmlnode(nullptr, "two"));
  XmlNode* entry = xmlnode(one.get(), "file");
  for (int i = 0; i < 100; ++i) xmladdval(entry, "name", "x", kXmlText);
  XmlNode* kept = xmlnode(two.get(), "kept");
  std::set<const XmlNode*> old;
  for (const XmlNode* c = entry->first; c; c = c->next) old.insert(c);
  xmlfreekids(entry);
  // A rewritten entry takes the places its old children left.
  EXPECT_TRUE(old.count(xmladdval(entry, "name", "y", kXmlText)));
  EXPECT_EQ(childnames(entry), "name ");
  xmlfree(entry, kXmlFreeUnlink);
  EXPECT_EQ(childnames(one.get()), "");
  EXPECT_EQ(childnames(two.get()), "kept ");
  EXPECT_EQ(name(kept), "kept");
}

TEST(XmlFindTest, PathsOccurrencesAndNesting) {
  Parsed p("<r><a><n>1</n><a><n>2</n></a></a><b><n>3</n></b><a><n>4</n></a></r>");
  XmlNode* r = p.root.get();
  ASSERT_TRUE(r);
  EXPECT_STREQ(xmlval(xmlfind(r, "n", 1, nullptr, 0, 0)), "1");
  EXPECT_STREQ(xmlval(xmlfind(r, "n", 0, nullptr, 0, 0)), "1");
  XmlNode* second = xmlfind(r, "a", 2, nullptr, 0, 0);
  EXPECT_EQ(second->parent, r->first);  // nested inside the first
  EXPECT_STREQ(xmlval(xmlfind(r, "A.N", 2, nullptr, 0, 0)), "2");
  EXPECT_STREQ(xmlval(xmlfind(r, "a.n", 3, nullptr, 0, 0)), "4");
  EXPECT_EQ(xmlfind(r, "a.n", 4, nullptr, 0, 0), nullptr);
  EXPECT_STREQ(xmlval(xmlfind(r, "..b..n", 1, nullptr, 0, 0)), "3");
  EXPECT_STREQ(xmlval(xmlfind(r, "r.b.n", 1, nullptr, 0, 0)), "3");  // the start node counts
  EXPECT_EQ(xmlfind(r, "", 1, nullptr, 0, 0), nullptr);
  EXPECT_EQ(xmlfind(r, "...", 1, nullptr, 0, 0), nullptr);
  EXPECT_EQ(xmlfind(r, "nn", 1, nullptr, 0, 0), nullptr);
}

TEST(XmlFindTest, OutBufferNamesTheWay) {
  Parsed p("<trosk><a><file><name>x</name></file></a></trosk>");
  char out[64];
  ASSERT_TRUE(xmlfind(p.root.get(), "file.name", 1, out, sizeof out, 0));
  EXPECT_STREQ(out, "trosk.a.file.name");
  char small[12];
  xmlfind(p.root.get(), "file.name", 1, small, sizeof small, 0);
  EXPECT_STREQ(small, "trosk.a");  // names are added while they fit
}

TEST(XmlFindTest, ChildrenOnlyAndSiblingFlags) {
  Parsed p("<r><x><x/></x><y/><x/></r>");
  XmlNode* r = p.root.get();
  EXPECT_EQ(xmlchild(r, "x", 2), r->last);  // the nested x is not a direct child
  EXPECT_EQ(xmlchild(r, "x", 3), nullptr);
  EXPECT_EQ(xmlchild(r->first, "x", 1), r->first);  // the start node itself counts
  XmlNode* y = r->first->next;
  EXPECT_EQ(xmlfind(y, "x", 1, nullptr, 0, 0), nullptr);
  EXPECT_EQ(xmlfind(y, "x", 1, nullptr, 0, kXmlFindSiblings), r->last);
}

TEST(XmlFindTest, StackHasFortyOneLevels) {
  XmlTree root(xmlnode(nullptr, "l0"));
  XmlNode* n = root.get();
  for (int i = 1; i <= 41; ++i) n = xmlnode(n, ("l" + std::to_string(i)).c_str());
  EXPECT_TRUE(xmlfind(root.get(), "l40", 1, nullptr, 0, 0));
  EXPECT_EQ(xmlfind(root.get(), "l41", 1, nullptr, 0, 0), nullptr);
}

TEST(XmlFindTest, WalkingOccurrencesStaysCorrectAcrossChanges) {
  XmlTree root(xmlnode(nullptr, "trosk"));
  for (int i = 0; i < 100000; ++i)
    xmladdval(xmlnode(root.get(), "file"), "name", std::to_string(i).c_str(), 3);
  int seen = 0;
  for (int k = 1; XmlNode* f = xmlfind(root.get(), "file", k, nullptr, 0, 0); ++k) {
    EXPECT_EQ(xmlpathval(f, "name"), std::to_string(k - 1));  // a second search in between
    ++seen;
  }
  EXPECT_EQ(seen, 100000);
  XmlNode* third = xmlfind(root.get(), "file", 3, nullptr, 0, 0);
  xmlfree(xmlfind(root.get(), "file", 2, nullptr, 0, 0), kXmlFreeUnlink);
  EXPECT_EQ(xmlfind(root.get(), "file", 2, nullptr, 0, 0), third);  // the tree changed
  EXPECT_EQ(xmlfind(root.get(), "file", 1, nullptr, 0, 0), root->first);
  xmlnode(root->first, "file");
  EXPECT_EQ(xmlfind(root.get(), "file", 2, nullptr, 0, 0), root->first->last);
}

TEST(XmlFreeTest, UnlinkKeepsTheListWhole) {
  XmlTree root(xmlnode(nullptr, "r"));
  for (const char* n : {"a", "b", "c", "d"}) xmladdval(root.get(), n, "v", 3);
  xmlfree(root->first->next, kXmlFreeUnlink);
  EXPECT_EQ(childnames(root.get()), "a c d ");
  xmlfree(root->first, kXmlFreeUnlink);
  xmlfree(root->last, kXmlFreeUnlink);
  EXPECT_EQ(childnames(root.get()), "c ");
  xmlnode(root.get(), "e");
  EXPECT_EQ(childnames(root.get()), "c e ");
  xmlnode(root.get(), "f");
  xmlfree(root->first->next, kXmlFreeUnlink | kXmlFreeSiblings);
  EXPECT_EQ(childnames(root.get()), "c ");
  xmlfreekids(root.get());
  EXPECT_EQ(childnames(root.get()), "");
  xmlnode(root.get(), "g");
  EXPECT_EQ(childnames(root.get()), "g ");
}

TEST(XmlNodeTest, NthKid) {
  XmlTree root(xmlnode(nullptr, "r"));
  for (const char* n : {"a", "b", "c"}) xmlnode(root.get(), n);
  EXPECT_EQ(name(xmlnthkid(root.get(), 0)), "a");
  EXPECT_EQ(name(xmlnthkid(root.get(), 2)), "b");
  EXPECT_EQ(name(xmlnthkid(root.get(), 3)), "c");
  EXPECT_EQ(xmlnthkid(root.get(), 4), nullptr);
  EXPECT_EQ(name(xmlnthkid(root.get(), 1)), "a");
  xmlfree(root->first, kXmlFreeUnlink);
  EXPECT_EQ(name(xmlnthkid(root.get(), 2)), "c");
}

TEST(XmlNodeTest, ElementAndTextNodes) {
  XmlTree e(xmlelem("item"));
  EXPECT_EQ(e->type, kXmlElement);
  EXPECT_EQ(name(e.get()), "item");
  XmlTree t(xmltxtnod("a<b & \"c\""));
  EXPECT_EQ(t->type, kXmlText);
  EXPECT_STREQ(t->name, "TEXT");
  EXPECT_STREQ(xmlval(t.get()), "a&lt;b &amp; &quot;c&quot;");
}

TEST(XmlEntityTest, EncodeAndDecode) {
  std::string quotes(50, '"');
  std::string expected;
  for (int i = 0; i < 50; ++i) expected += "&quot;";
  EXPECT_EQ(xmlencod(quotes), expected);
  EXPECT_EQ(xmlencod("<a href='x'>&"), "&lt;a href=&apos;x&apos;&gt;&amp;");
  EXPECT_EQ(xmldecod(xmlencod("<a href='x'>&\"")), "<a href='x'>&\"");
  EXPECT_EQ(xmldecod("&1 & &x;"), "&1 & &x;");
  EXPECT_EQ(xmldecod("&lxy&gzz&qabcd!"), "<>\"!");  // only the first letter decides
  EXPECT_EQ(xmldecod("ends &q"), "ends \"");
}

TEST(XmlAttrTest, LookupFromTheLastEntryByPrefix) {
  Parsed p("<a ver='1' name='first' name='second'/>");
  XmlNode* a = p.root.get();
  EXPECT_STREQ(xmlattval(a, "name"), "second");
  EXPECT_STREQ(xmlattval(a, "NAME"), "second");
  EXPECT_STREQ(xmlattval(a, "version"), "1");  // the entry name is a prefix
  EXPECT_EQ(xmlattval(a, "ve"), nullptr);
  EXPECT_EQ(xmlattrib(a, -1, nullptr), nullptr);
}

TEST(XmlAttrTest, PackedAttributeNames) {
  const char packed[] =
      "a\0"
      "1\0"
      "bb\0"
      "22\0"
      "c\0"
      "3";
  std::vector<const char*> names = xmlgetatt(packed, sizeof packed, 10);
  ASSERT_EQ(names.size(), 4u);
  EXPECT_STREQ(names[0], "a");
  EXPECT_STREQ(names[1], "bb");
  EXPECT_STREQ(names[2], "c");
  EXPECT_EQ(names[3], nullptr);
  names = xmlgetatt(packed, sizeof packed, 2);
  EXPECT_EQ(names[2], nullptr);
  EXPECT_TRUE(xmlgetatt(packed, sizeof packed, 0).empty());
}

TEST(XmlQueryTest, PathAndQuery) {
  std::string out;
  EXPECT_EQ(Q_tmpstr("dir/file.xml?a=1&b=2", &out), 2);
  EXPECT_EQ(out, "dir/file.xml");
  EXPECT_EQ(Q_tmpstr("dir/file.xml", &out), 0);
  EXPECT_EQ(out, "dir/file.xml");
  EXPECT_EQ(Q_tmpstr("dir/file.xml ?a=1", &out), 0);
  EXPECT_EQ(out, "dir/file.xml ?a=1");

  char query[] = "x.xml?name=abc&ver=12";
  char tag[64];
  EXPECT_EQ(xmlquery(query, static_cast<int>(std::strlen(query)), tag, sizeof tag, "<q"), 2);
  EXPECT_STREQ(tag, "<q name='abc' ver='12'/>");
  char none[] = "x.xml";
  EXPECT_EQ(xmlquery(none, 5, tag, sizeof tag, "<q"), 0);
  char tight[] = "x?name=abcdef";
  EXPECT_EQ(xmlquery(tight, static_cast<int>(std::strlen(tight)), tag, 5, "<q"), -1);
  EXPECT_STREQ(tag, "");
  char doubled[] = "x?a==b";
  EXPECT_EQ(xmlquery(doubled, 6, tag, sizeof tag, "<q"), 2);
  EXPECT_STREQ(tag, "<q a=''/>");
}

}  // namespace
}  // namespace trosk
