#include "xml/xmlparse.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/output.h"
#include "testing/testing.h"
#include "xml/txtfil.h"
#include "xml/xmlfind.h"
#include "xml/xmlquery.h"

namespace trosk {
namespace {

using testing::FakeContext;
using testing::readfile;
using testing::ScratchDir;
using testing::writefile;

// A text parsed in place; the text lives as long as the tree.
struct Parsed {
  Parsed(RunContext& rc, std::string t) : text(std::move(t)) {
    root.reset(xmlparsetext(rc, text.data()));
  }
  std::string text;
  XmlTree root;
};

std::string val(const XmlNode* node) { return node ? xmlval(node) : "<none>"; }
std::string name(const XmlNode* node) {
  return node && node->name ? std::string(node->name, static_cast<std::size_t>(node->namelen)) : "";
}
std::string output(RunContext& rc) {
  closeoutput(rc);
  return readfile(kOutputFileName);
}

TEST(XmlParseTest, ElementsChildrenAndValues) {
  FakeContext c;
  Parsed p(c.rc,
      "<?xml version=\"1.0\"?>\n<!-- made by hand -->\n<trosk>\n <pversion>3</pversion>\n"
      " <file><name>a.txt</name><size>12</size></file>\n</trosk>\n");
  ASSERT_TRUE(p.root);
  XmlNode* root = p.root.get();
  EXPECT_EQ(root->type, kXmlDocument);
  EXPECT_EQ(name(root), "trosk");
  EXPECT_EQ(root->nchild, 2u);
  EXPECT_EQ(root->first->type, kXmlElement);
  EXPECT_EQ(val(root->first), "3");
  EXPECT_EQ(root->last->nchild, 2u);
  EXPECT_EQ(val(root->last->last), "12");
  EXPECT_EQ(root->last->last->parent, root->last);
  EXPECT_TRUE(root->first->flags & kXmlValueInText);
}

TEST(XmlParseTest, EmptyChildrenBackToBack) {
  FakeContext c;
  Parsed p(c.rc, "<a><b/><c /><d/></a>");
  ASSERT_TRUE(p.root);
  EXPECT_EQ(p.root->nchild, 3u);
  EXPECT_EQ(name(p.root->first), "b");
  EXPECT_EQ(name(p.root->first->next), "c");
  EXPECT_EQ(p.root->first->vallen, 0);
}

TEST(XmlParseTest, TextContentKeepsTrailingBlanksOnly) {
  FakeContext c;
  Parsed p(c.rc, "<a><b>  hi there \t</b><c>   </c><d></d><e>x<f/>y</e></a>");
  ASSERT_TRUE(p.root);
  XmlNode* b = p.root->first;
  EXPECT_EQ(val(b), "hi there \t");
  EXPECT_EQ(b->next->vallen, 0);        // blanks only
  EXPECT_EQ(b->next->next->vallen, 0);  // nothing at all
  XmlNode* e = p.root->last;
  EXPECT_EQ(val(e), "x<f/>y");  // markup inside text is text
  EXPECT_EQ(e->nchild, 0u);
}

TEST(XmlParseTest, TextAfterAChildIsDropped) {
  FakeContext c;
  Parsed p(c.rc, "<a>lead<b/></a><x/>");
  ASSERT_TRUE(p.root);
  EXPECT_EQ(val(p.root.get()), "lead<b/>");  // text first: the child is part of it
  Parsed q(c.rc, "<a><b>1</b>tail text<c>2</c></a>");
  ASSERT_TRUE(q.root);
  EXPECT_EQ(q.root->vallen, 0);
  EXPECT_EQ(q.root->nchild, 2u);
}

TEST(XmlParseTest, EndTagCaseRules) {
  ScratchDir dir;
  FakeContext c;
  Parsed children(c.rc, "<Top><b/></TOP>");
  EXPECT_TRUE(children.root);  // any case when the element has children
  Parsed longer(c.rc, "<ab><c/></abcd>");
  EXPECT_TRUE(longer.root);  // a longer end-tag name with the same beginning
  Parsed text(c.rc, "<a>text</A>");
  EXPECT_FALSE(text.root);  // exact case after text content
  Parsed other(c.rc, "<a><c/></b>");
  EXPECT_FALSE(other.root);
  EXPECT_EQ(output(c.rc), "XML error -3 in node <a>\nXML error -5 in node <a>\n");
}

TEST(XmlParseTest, ErrorCodesAndMessages) {
  ScratchDir dir;
  FakeContext c;
  EXPECT_FALSE(Parsed(c.rc, "<trosk><file").root);
  EXPECT_FALSE(Parsed(c.rc, "<trosk><name>text with no end").root);
  EXPECT_FALSE(Parsed(c.rc, "<trosk><v><![CDATA[never closed</v></trosk>").root);
  EXPECT_EQ(output(c.rc),
            "XML error -1 in node <file>\nXML error -2 in node <name>\nXML error -4 in node <v>\n");
}

TEST(XmlParseTest, CdataIsTypeFourAndMayBeFollowedByChildren) {
  FakeContext c;
  Parsed p(c.rc, "<a><v><![CDATA[x < y </z> & more]]></v><w><![cdata[low]]><k/></w></a>");
  ASSERT_TRUE(p.root);
  XmlNode* v = p.root->first;
  EXPECT_EQ(v->type, kXmlCdata);
  EXPECT_EQ(val(v), "x < y </z> & more");
  XmlNode* w = v->next;
  EXPECT_EQ(w->type, kXmlCdata);
  EXPECT_EQ(val(w), "low");
  EXPECT_EQ(w->nchild, 1u);
}

TEST(XmlParseTest, AdjacentCdataSectionsAreJoined) {
  FakeContext c;
  Parsed p(c.rc, "<a><![CDATA[one]]]]><![CDATA[>two]]><![CDATA[</three>]]></a>");
  ASSERT_TRUE(p.root);
  EXPECT_EQ(val(p.root.get()), "one]]>two</three>");
}

TEST(XmlParseTest, TruncatedTextKeepsWhatWasRead) {
  ScratchDir dir;
  FakeContext c;
  Parsed p(c.rc, "<?xml version=\"1.0\"?>\n<trosk>\n <file>\n  <name>a</name>\n </file>\n <file>");
  ASSERT_TRUE(p.root);
  EXPECT_EQ(p.root->nchild, 2u);
  EXPECT_EQ(val(p.root->first->first), "a");
  EXPECT_EQ(output(c.rc), "");
}

TEST(XmlParseTest, NoElementIsAFailedParse) {
  FakeContext c;
  EXPECT_FALSE(Parsed(c.rc, "").root);
  EXPECT_FALSE(Parsed(c.rc, "just text").root);
  EXPECT_FALSE(Parsed(c.rc, "<?xml version='1.0'?><!-- only a comment -->").root);
  EXPECT_FALSE(Parsed(c.rc, "</x>").root);
}

TEST(XmlParseTest, DashInNameGoesToAttributeText) {
  FakeContext c;
  Parsed p(c.rc, "<list><my-file>v</my-file></list>");
  ASSERT_TRUE(p.root);
  XmlNode* f = p.root->first;
  EXPECT_EQ(name(f), "my");
  EXPECT_EQ(val(f), "v");
  EXPECT_EQ(f->nattr, 0);
}

TEST(XmlParseTest, AttributesInBothQuotes) {
  FakeContext c;
  Parsed p(c.rc, "<a x = 'one \"q\"' y=\"two\"/>");
  ASSERT_TRUE(p.root);
  XmlNode* a = p.root.get();
  ASSERT_EQ(a->nattr, 2);
  const char* n = nullptr;
  EXPECT_STREQ(xmlattrib(a, 0, &n), "one \"q\"");
  EXPECT_STREQ(n, "x");
  EXPECT_STREQ(xmlattval(a, "y"), "two");
  EXPECT_EQ(xmlattrib(a, 2, nullptr), nullptr);
  EXPECT_EQ(a->nchild, 0u);
}

TEST(XmlParseTest, BadAttributeIsReportedAndElementStillBuilt) {
  ScratchDir dir;
  FakeContext c;
  Parsed unquoted(c.rc, "<a x=1><b/></a>");
  ASSERT_TRUE(unquoted.root);
  EXPECT_EQ(unquoted.root->nchild, 1u);
  EXPECT_EQ(xmlattrib(unquoted.root.get(), 0, nullptr), nullptr);
  Parsed keeps(c.rc, "<a x=\"1\" y='2=3'><b/></a>");  // the "=" in a value asks for a third entry
  ASSERT_TRUE(keeps.root);
  ASSERT_EQ(keeps.root->nattr, 3);
  EXPECT_STREQ(xmlattval(keeps.root.get(), "x"), "1");
  EXPECT_STREQ(xmlattval(keeps.root.get(), "y"), "2=3");
  EXPECT_EQ(keeps.root->attrs[2].name, nullptr);
  EXPECT_EQ(output(c.rc), "XML error -6 in node <a>\nXML error -6 in node <a>\n");
}

TEST(XmlParseTest, BytesAbove127AreOrdinary) {
  FakeContext c;
  Parsed p(c.rc, "<a>\xe9t\xe9 \xff</a>");
  ASSERT_TRUE(p.root);
  EXPECT_EQ(val(p.root.get()), "\xe9t\xe9 \xff");
}

TEST(XmlParseTest, NestingDepthIsBounded) {
  ScratchDir dir;
  FakeContext c;
  auto nested = [](int depth) {
    std::string s;
    for (int i = 0; i < depth; ++i) s += "<e>";
    for (int i = 0; i < depth; ++i) s += "</e>";
    return s;
  };
  EXPECT_TRUE(Parsed(c.rc, nested(kMaxXmlDepth)).root);
  EXPECT_FALSE(Parsed(c.rc, nested(kMaxXmlDepth + 1)).root);
  EXPECT_FALSE(Parsed(c.rc, nested(200000)).root);  // no crash however deep
  EXPECT_EQ(output(c.rc), "XML error -7 in node <e>\nXML error -7 in node <e>\n");
}

TEST(XmlParseTest, UnendedMarkupIsSteppedOver) {
  FakeContext c;
  Parsed p(c.rc, "<a><?pi never ended <b/><!-- also <c/></a>");
  ASSERT_TRUE(p.root);
  EXPECT_EQ(p.root->nchild, 2u);  // the "<?" and "<!" are passed over, b and c stay
}

TEST(XmlParseTest, TracesStartAboveLevelTwo) {
  ScratchDir dir;
  FakeContext c;
  c.rc.verboseLevel = 2;
  EXPECT_TRUE(Parsed(c.rc, "<a><b/></a>").root);
  EXPECT_EQ(output(c.rc), "");
  c.rc.verboseLevel = 3;
  EXPECT_TRUE(Parsed(c.rc, "<a><b/></a>").root);
  EXPECT_EQ(output(c.rc),
            "xml_parse 0  nch=11 < <a><b/></a>>\nxml_parse 1  nch=8 <    <b/></a>>\n");
}

TEST(XmlParseTest, StreamHandsOverEachChildOfTheDocumentElement) {
  ScratchDir dir;  // the refused text's message goes to the output file
  FakeContext c;
  const std::string text =
      "<?xml?><trosk><pversion>3</pversion><file><name>a</name><x><n>1</n></x></file>"
      "<!-- c --><file><name>b</name></file><e/></trosk>";
  Parsed whole(c.rc, text);
  std::string copy = text;
  std::vector<std::string> seen;
  XmlNode* at = whole.root->first;
  uint64_t count = 0;
  XmlTree top(xmlparsestream(
      c.rc, copy.data(),
      [&](XmlNode* child) {
        // The child stands alone under the document element, whole.
        EXPECT_EQ(child->parent->first, child);
        EXPECT_EQ(child->parent->nchild, 1u);
        seen.push_back(name(child) + "=" + val(xmlfind(child, "n", 1, nullptr, 0, 0)));
        EXPECT_EQ(name(child), name(at));
        EXPECT_EQ(xmlnchild(child), xmlnchild(at));
        at = at->next;
      },
      &count));
  ASSERT_TRUE(top);
  EXPECT_EQ(name(top.get()), "trosk");
  EXPECT_EQ(top->nchild, 0u);
  EXPECT_EQ(count, 4u);
  EXPECT_EQ(seen, (std::vector<std::string>{"pversion=<none>", "file=1", "file=<none>", "e=<none>"}));
  // What the whole parse refuses, the stream refuses too.
  std::string bad = "<trosk><file/><a>t</b></trosk>";
  EXPECT_FALSE(xmlparsestream(c.rc, bad.data(), [](XmlNode*) {}, &count));
}

TEST(XmlLoadTest, FlagsAndResults) {
  ScratchDir dir;
  FakeContext c;
  writefile("plain.xml", "<trosk><name>x</name></trosk>");
  writefile("decl.xml", "<?XML version='1.0'?><trosk/>");
  writefile("bad.xml", "<?xml?><trosk><a>t</b></trosk>");
  XmlDocument doc;
  EXPECT_EQ(xmlload(c.rc, "missing.xml", doc, 3), -1);
  EXPECT_EQ(xmlload(c.rc, "plain.xml", doc, 0), -2);
  EXPECT_FALSE(doc.text);
  EXPECT_EQ(xmlload(c.rc, "plain.xml", doc, kXmlLoadAny), 1);
  EXPECT_STREQ(doc.filename, "plain.xml");
  EXPECT_STREQ(xmlpathval(doc.root.get(), "name"), "x");
  EXPECT_EQ(xmlload(c.rc, "decl.xml", doc, 0), 1);
  EXPECT_EQ(xmlload(c.rc, "bad.xml", doc, kXmlLoadAny | kXmlLoadKeepText), -2);
  EXPECT_TRUE(doc.text);
  EXPECT_FALSE(doc.root);
  EXPECT_STREQ(doc.filename, "");
  doc.clear();
  EXPECT_FALSE(doc.text);
}

TEST(XmlLoadTest, WindowsLineEndsReadTheSame) {
  ScratchDir dir;
  FakeContext c;
  writefile("w.xml", "<trosk>\r\n <v>a\r\nb</v>\r\n <e/>\r\n</trosk>\r\n");
  XmlDocument doc;
  ASSERT_EQ(xmlload(c.rc, "w.xml", doc, 3), 1);
  EXPECT_STREQ(xmlpathval(doc.root.get(), "v"), "a\nb");
  EXPECT_EQ(doc.root->nchild, 2u);
}

TEST(XmlLoadTest, CtrlZEndsTheText) {
  ScratchDir dir;
  FakeContext c;
  writefile("z.xml", std::string("<trosk><a>1</a>\x1a<b>2</b></trosk>"));
  XmlDocument doc;
  ASSERT_EQ(xmlload(c.rc, "z.xml", doc, 3), 1);
  EXPECT_EQ(doc.root->nchild, 1u);
  std::size_t n = 0;
  EXPECT_STREQ(txtfil(c.rc, "z.xml", &n, nullptr, 26, nullptr, nullptr).get(), "<trosk><a>1</a>");
}

TEST(TxtfilTest, CrLfIsReadAsLf) {
  ScratchDir dir;
  FakeContext c;
  writefile("t.txt", "one\r\ntwo\rthree\r\n\r\nend\r");
  std::size_t n = 0;
  long lines = 0;
  TextBuffer t = txtfil(c.rc, "t.txt", &n, nullptr, 0, nullptr, &lines);
  ASSERT_TRUE(t);
  EXPECT_EQ(std::string(t.get(), n), "one\ntwo\rthree\n\nend\r");
  EXPECT_EQ(lines, 3);
}

TEST(TxtfilTest, CrLfAcrossBlockBoundary) {
  ScratchDir dir;
  FakeContext c;
  std::string s(std::size_t{1} << 20, 'x');
  s[s.size() - 1] = '\r';
  s += "\ny\r";
  s += std::string(100, 'z');
  writefile("b.txt", s);
  std::size_t n = 0;
  TextBuffer t = txtfil(c.rc, "b.txt", &n, nullptr, 0, nullptr, nullptr);
  ASSERT_TRUE(t);
  EXPECT_EQ(n, s.size() - 1);
  EXPECT_EQ(std::string(t.get() + (1 << 20) - 3, 6), "xx\ny\rz");
}

TEST(TxtfilTest, StreamOfUnknownSizeGrowsItsText) {
  ScratchDir dir;
  FakeContext c;
  std::string s;
  for (int i = 0; i < 300000; ++i) s += i % 7 ? "line\r\n" : "cr\r";
  writefile("p.txt", s);
  FILE* pipe = popen("cat p.txt", "r");  // a stream whose size is not known
  ASSERT_NE(pipe, nullptr);
  std::size_t n = 0;
  long lines = 0;
  TextBuffer t = txtfil(c.rc, nullptr, &n, pipe, 0, nullptr, &lines);
  pclose(pipe);
  ASSERT_TRUE(t);
  std::string expected;
  for (int i = 0; i < 300000; ++i) expected += i % 7 ? "line\n" : "cr\r";
  EXPECT_EQ(std::string(t.get(), n), expected);
  EXPECT_EQ(lines, 300000 - 300000 / 7 - 1);
}

TEST(TxtfilTest, TranslationTerminatorAndNul) {
  ScratchDir dir;
  FakeContext c;
  writefile("t.txt", std::string("aab;cd\0ef", 9));
  std::size_t n = 0;
  TextBuffer t = txtfil(c.rc, "t.txt", &n, nullptr, ';', "abbc", nullptr);  // a->b, then b->c
  ASSERT_TRUE(t);
  EXPECT_STREQ(t.get(), "ccc");
  EXPECT_EQ(n, 3u);
  t = txtfil(c.rc, "t.txt", &n, nullptr, 0, nullptr, nullptr);
  EXPECT_STREQ(t.get(), "aab;cd");  // a NUL ends the text
}

TEST(TxtfilTest, ReadsAnOpenStreamAndLeavesItOpen) {
  FakeContext c;
  FILE* f = std::tmpfile();
  ASSERT_TRUE(f);
  std::fputs("skip|kept\r\ntext", f);
  std::fseek(f, 5, SEEK_SET);
  std::size_t n = 0;
  TextBuffer t = txtfil(c.rc, nullptr, &n, f, 0, nullptr, nullptr);
  ASSERT_TRUE(t);
  EXPECT_STREQ(t.get(), "kept\ntext");
  EXPECT_EQ(std::fseek(f, 0, SEEK_SET), 0);  // still open
  std::fclose(f);
  EXPECT_FALSE(txtfil(c.rc, nullptr, &n, nullptr, 0, nullptr, nullptr));
}

TEST(TxtfilTest, LargeFilesAreReadWhole) {
  ScratchDir dir;
  FakeContext c;
  std::string big;
  while (big.size() < 3'000'000) big += "<line>0123456789</line>\r\n";
  writefile("big.txt", big);
  std::size_t n = 0;
  long lines = 0;
  TextBuffer t = txtfil(c.rc, "big.txt", &n, nullptr, 0, nullptr, &lines);
  ASSERT_TRUE(t);
  EXPECT_EQ(n, big.size() - static_cast<std::size_t>(lines));
  EXPECT_EQ(static_cast<std::size_t>(lines), big.size() / 25);
  EXPECT_EQ(std::string(t.get() + n - 24), "<line>0123456789</line>\n");
}

TEST(TxtfilTest, RefusesFilesAboveTheLimit) {
  ScratchDir dir;
  FakeContext c;
  FILE* f = std::fopen("huge.txt", "w");
  ASSERT_TRUE(f);
  ASSERT_EQ(ftruncate(fileno(f), static_cast<off_t>(kMaxTextFile) + 1), 0);  // sparse
  std::fclose(f);
  std::size_t n = 0;
  EXPECT_FALSE(txtfil(c.rc, "huge.txt", &n, nullptr, 0, nullptr, nullptr));
  EXPECT_EQ(output(c.rc),
            "File huge.txt is too large to read: 1073741825 bytes (at most 1073741824)\n");
}

}  // namespace
}  // namespace trosk
