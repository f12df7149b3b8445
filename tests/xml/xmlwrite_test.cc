#include "xml/xmlwrite.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <string>

#include "core/output.h"
#include "testing/testing.h"
#include "xml/xmlparse.h"

namespace trosk {
namespace {

using testing::FakeContext;
using testing::readfile;
using testing::ScratchDir;
using testing::writefile;

std::string saved(RunContext& rc, XmlNode* node, int level = 0) {
  std::string path = "out.xml";
  EXPECT_EQ(xmlsave(rc, path.c_str(), nullptr, node, level), 0);
  return readfile(path);
}

// Writes a node holding `value` and reads the file back: the value read.
std::string roundtrip(RunContext& rc, const std::string& value) {
  XmlTree root(xmlnode(nullptr, "trosk"));
  xmladdval(root.get(), "v", value.c_str(), kXmlText);
  xmlnode(root.get(), "after");
  EXPECT_EQ(xmlsave(rc, "rt.xml", nullptr, root.get(), 0), 0);
  XmlDocument doc;
  if (xmlload(rc, "rt.xml", doc, 3) != 1) return "<not parsed>";
  EXPECT_EQ(doc.root->nchild, 2u);
  return xmlval(doc.root->first);
}

TEST(XmlSaveTest, ExactLayout) {
  ScratchDir dir;
  FakeContext c;
  XmlTree root(xmlnode(nullptr, "trosk"));
  xmladdval(root.get(), "pversion", "3", kXmlText);
  XmlNode* file = xmlnode(root.get(), "file");
  xmladdval(file, "name", "a <b> & \"c\"", kXmlText);
  xmlnode(file, "empty");
  EXPECT_EQ(saved(c.rc, root.get()),
            "<trosk>\n"
            " <pversion>3</pversion>\n"
            " <file>\n"
            "  <name>a <b> & \"c\"</name>\n"
            "  <empty/>\n"
            " </file>\n"
            "</trosk>\n");
}

TEST(XmlSaveTest, SiblingsAndDeepIndentation) {
  ScratchDir dir;
  FakeContext c;
  XmlTree first(xmlnode(nullptr, "a"));
  XmlNode* parent = xmlnode(nullptr, "b");
  first->next = parent;  // a top-level sibling, as a parsed list of nodes has
  parent->prev = first.get();
  xmladdval(parent, "c", "1", kXmlText);
  EXPECT_EQ(saved(c.rc, first.get(), 22), std::string(20, ' ') + "<a/>\n" +
                                              std::string(20, ' ') + "<b>\n" +
                                              std::string(20, ' ') + "<c>1</c>\n" +
                                              std::string(20, ' ') + "</b>\n");
}

TEST(XmlSaveTest, LongValuesStartOnTheirOwnLineAndReadBackUnchanged) {
  ScratchDir dir;
  FakeContext c;
  std::string v79(79, 'a'), v80(80, 'b');
  XmlTree root(xmlnode(nullptr, "trosk"));
  XmlNode* f = xmlnode(root.get(), "f");
  xmladdval(f, "short", v79.c_str(), kXmlText);
  xmladdval(f, "long", v80.c_str(), kXmlText);
  EXPECT_EQ(saved(c.rc, root.get()), "<trosk>\n <f>\n  <short>" + v79 + "</short>\n  <long>\n" +
                                         v80 + "</long>\n </f>\n</trosk>\n");
  EXPECT_EQ(roundtrip(c.rc, v80), v80);
  std::string text;
  for (int i = 0; i < 5000; ++i) text += "line " + std::to_string(i) + " of a long value\n";
  ASSERT_GT(text.size(), 32767u);
  EXPECT_EQ(roundtrip(c.rc, text), text);
}

TEST(XmlSaveTest, AwkwardValuesReadBackUnchanged) {
  ScratchDir dir;
  FakeContext c;
  EXPECT_EQ(saved(c.rc, xmladdval(XmlTree(xmlnode(nullptr, "r")).get(), "v", "x", 3)),
            "<v>x</v>\n");
  for (const std::string& v : std::initializer_list<std::string>{
           "a</b>c", "</v>", "  leading blanks", "\ttab", "<b/>", "<![CDATA[x]]>", "x]]>y", "]]>",
           "a]]></v>b]]]>", " ]]>", std::string(300, '<') + "</",
           std::string("\xe9t\xe9 \"q\" & <x")}) {
    EXPECT_EQ(roundtrip(c.rc, v), v);
  }
  XmlTree r(xmlnode(nullptr, "r"));
  xmladdval(r.get(), "v", "a</b>", kXmlText);
  EXPECT_EQ(saved(c.rc, r.get()), "<r>\n <v><![CDATA[a</b>]]></v>\n</r>\n");
  xml_val(r->first, "p]]>q</");
  EXPECT_EQ(saved(c.rc, r.get()), "<r>\n <v><![CDATA[p]]]]><![CDATA[>q</]]></v>\n</r>\n");
}

TEST(XmlSaveTest, NamelessEmptyElementReadsBack) {
  ScratchDir dir;
  FakeContext c;
  XmlTree root(xmlnode(nullptr, nullptr));
  EXPECT_EQ(saved(c.rc, root.get()), "< />\n");  // not "</>", which reads as an end tag
  XmlDocument doc;
  EXPECT_EQ(xmlload(c.rc, "out.xml", doc, 3), 1);
}

TEST(XmlSaveTest, ParsedCdataIsWrittenAsItsValue) {
  ScratchDir dir;
  FakeContext c;
  std::string text = "<r><v><![CDATA[plain]]></v></r>";
  XmlTree root(xmlparsetext(c.rc, text.data()));
  ASSERT_TRUE(root);
  EXPECT_EQ(saved(c.rc, root.get()), "<r>\n <v>plain</v>\n</r>\n");
}

TEST(XmlSaveTest, LargeLogRoundTrip) {
  ScratchDir dir;
  FakeContext c;
  XmlTree root(xmlnode(nullptr, "trosk"));
  xmladdval(root.get(), "pversion", "1", kXmlText);
  for (int i = 0; i < 100000; ++i) {
    XmlNode* f = xmlnode(root.get(), "file");
    xmladdval(f, "name", ("src/file" + std::to_string(i) + ".cc").c_str(), kXmlText);
    xmladdval(f, "size", std::to_string(i * 7).c_str(), kXmlText);
  }
  ASSERT_EQ(xmlsave(c.rc, "trosk_big.xml", nullptr, root.get(), 0), 0);
  XmlDocument doc;
  ASSERT_EQ(xmlload(c.rc, "trosk_big.xml", doc, 3), 1);
  EXPECT_EQ(xmlnchild(doc.root.get()), 100001u);
  EXPECT_STREQ(xmlval(doc.root->last->first), "src/file99999.cc");
}

TEST(XmlSaveTest, StreamsReportWriteErrors) {
  FakeContext c;
  XmlTree root(xmlnode(nullptr, "trosk"));
  xmladdval(root.get(), "v", "1", kXmlText);
  FILE* mem = std::tmpfile();
  ASSERT_TRUE(mem);
  EXPECT_EQ(xmlsave(c.rc, nullptr, mem, root.get(), 1), 0);
  std::rewind(mem);
  char line[64] = {};
  std::fgets(line, sizeof line, mem);
  EXPECT_STREQ(line, " <trosk>\n");
  std::fclose(mem);
  FILE* full = std::fopen("/dev/full", "w");
  if (full) {
    EXPECT_EQ(xmlsave(c.rc, nullptr, full, root.get(), 0), -2);
    std::fclose(full);
  }
}

TEST(XmlSaveTest, FailedWriteLeavesTheOldFile) {
  ScratchDir dir;
  FakeContext c;
  XmlTree root(xmlnode(nullptr, "trosk"));
  for (int i = 0; i < 2000; ++i) xmladdval(root.get(), "file", "some value of a file entry", 3);
  EXPECT_EQ(xmlsave(c.rc, "missing/dir/log.xml", nullptr, root.get(), 0), -2);
  EXPECT_FALSE(std::filesystem::exists("missing"));

  writefile("log.xml", "<trosk><old/></trosk>");
  struct rlimit before;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = before;
  small.rlim_cur = 4096;  // a full disk, as far as this process can tell
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  int result = xmlsave(c.rc, "log.xml", nullptr, root.get(), 0);
  setrlimit(RLIMIT_FSIZE, &before);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(result, -2);
  EXPECT_EQ(readfile("log.xml"), "<trosk><old/></trosk>");
  int entries = 0;
  for (const auto& e : std::filesystem::directory_iterator(".")) entries += e.is_regular_file();
  EXPECT_EQ(entries, 1);  // no temporary file left behind
}

TEST(XmlSaveTest, NumberedFileName) {
  ScratchDir dir;
  FakeContext c;
  XmlTree root(xmlnode(nullptr, "trosk"));
  EXPECT_EQ(xmlsavenum(c.rc, "trosk_demo.xml", root.get(), 2, 5), 0);
  EXPECT_EQ(readfile("trosk_demo_2_5.xml"), "<trosk/>\n");
  EXPECT_EQ(xmlsavenum(c.rc, ".xml", root.get(), 1, 1), 0);
  EXPECT_FALSE(std::filesystem::exists("_1_1.xml"));
}

TEST(XmlSaveTest, VerboseTracesEachNode) {
  ScratchDir dir;
  FakeContext c;
  XmlTree root(xmlnode(nullptr, "trosk"));
  xmladdval(root.get(), "name", "a.txt", kXmlText);
  c.rc.verboseLevel = 1;
  saved(c.rc, root.get());
  closeoutput(c.rc);
  EXPECT_EQ(readfile(kOutputFileName),
            " 0: 0 1 0 <trosk>  :                    \n"
            " 1: 0 0 5  <name>  :               a.txt\n");
}

TEST(XmlWriteTest, CompactWithAttributesAndCdata) {
  FakeContext c;
  std::string text = "<a x=\"1\" y='two'><b k='v'/><![CDATA[ignored]]><c><![CDATA[q]]></c></a>";
  XmlTree root(xmlparsetext(c.rc, text.data()));
  ASSERT_TRUE(root);
  root->type = kXmlElement;  // the document element writes only its value
  std::string out = "head:";
  EXPECT_EQ(xmlwritestr(out, root.get()), 0);
  EXPECT_EQ(out, "head:<a x=\"1\" y=\"two\"><b k=\"v\"/><![CDATA[q]]></a>");
  XmlTree t(xmltxtnod("<&>"));
  out.clear();
  xmlwritestr(out, t.get());
  EXPECT_EQ(out, "&lt;&amp;&gt;");
  FILE* mem = std::tmpfile();
  ASSERT_TRUE(mem);
  EXPECT_EQ(xmlwrite(mem, root->first), 0);
  std::rewind(mem);
  char line[64] = {};
  std::fgets(line, sizeof line, mem);
  EXPECT_STREQ(line, "<b k=\"v\"/><![CDATA[q]]>");
  std::fclose(mem);
}

TEST(XmlDumpTest, ListsNodesAndAttributes) {
  ScratchDir dir;
  FakeContext c;
  std::string text = "<r><a k='v'>1</a><b><c/></b></r>";
  XmlTree root(xmlparsetext(c.rc, text.data()));
  ASSERT_TRUE(root);
  xmldump(c.rc, root.get(), 0);
  printlong(c.rc, nullptr, std::string(600, 'p').c_str());
  closeoutput(c.rc);
  EXPECT_EQ(readfile(kOutputFileName),
            "node 0: r            type=0  haschild=2 hasSib=0 attribs=0 value=\n"
            "node 1: a            type=1  haschild=0 hasSib=1 attribs=1 value=1\n"
            "    attrib (1/1) k=\"v\"\n"
            "node 1: b            type=1  haschild=1 hasSib=0 attribs=0 value=\n"
            "node 2: c            type=1  haschild=0 hasSib=0 attribs=0 value=\n" +
                std::string(600, 'p'));
}

}  // namespace
}  // namespace trosk
