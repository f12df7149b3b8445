#include "repo/projectlog.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "core/output.h"
#include "testing/testing.h"
#include "xml/xmlfind.h"
#include "xml/xmlparse.h"
#include "xml/xmlvalues.h"
#include "xml/xmlwrite.h"

namespace trosk {
namespace {

using testing::ScratchDir;

// A log tree built in memory.
struct Log {
  XmlTree tree{xmlnode(nullptr, "trosk")};
  XmlNode* root() const { return tree.get(); }
};

XmlNode* addnamed(XmlNode* root, const char* element, const char* name) {
  XmlNode* e = xmlnode(root, element);
  xmladdval(e, "name", name, kXmlText);
  return e;
}

FileStats somestats() {
  FileStats s;
  s.size = 120;
  s.checksum = 9876;
  s.parity = 17;
  s.crc = 201;
  s.date = 20240229;
  s.time = 235901;
  s.version = 1.5f;
  return s;
}

std::string childnames(const XmlNode* e) {
  std::string out;
  for (const XmlNode* c = e->first; c; c = c->next) {
    out += c->name;
    out += ' ';
  }
  return out;
}

TEST(FindFileNode, WholeNameOnlyNeverAPrefix) {
  testing::FakeContext ctx;
  Log log;
  XmlNode* bak = addnamed(log.root(), "file", "a.txt.bak");
  EXPECT_EQ(findfilenode(ctx.rc, log.root(), "a.txt"), nullptr);
  XmlNode* a = addnamed(log.root(), "file", "a.txt");
  EXPECT_EQ(findfilenode(ctx.rc, log.root(), "a.txt"), a);
  EXPECT_EQ(findfilenode(ctx.rc, log.root(), "a.txt.bak"), bak);
  EXPECT_EQ(findfilenode(ctx.rc, log.root(), "a.tx"), nullptr);
  EXPECT_EQ(findfilenode(ctx.rc, log.root(), "a.txt.bak.old"), nullptr);
}

TEST(FindFileNode, TrailingBlanksOfStoredNamesAreIgnored) {
  testing::FakeContext ctx;
  Log log;
  XmlNode* a = addnamed(log.root(), "file", "dir/a.c   ");
  EXPECT_EQ(findfilenode(ctx.rc, log.root(), "dir/a.c"), a);
  EXPECT_EQ(findfilenode(ctx.rc, log.root(), "dir/a.c "), a);
  EXPECT_EQ(findfilenode(ctx.rc, log.root(), " dir/a.c"), nullptr);
}

TEST(FindFileNode, CaseOfElementNameButNeverArchives) {
  testing::FakeContext ctx;
  Log log;
  xmlsetint(log.root(), "pversion", 1);
  addnamed(log.root(), "archive", "z.zip");
  XmlNode* upper = addnamed(log.root(), "FILE", "x.c");
  EXPECT_EQ(findfilenode(ctx.rc, log.root(), "x.c"), upper);
  EXPECT_EQ(findfilenode(ctx.rc, log.root(), "z.zip"), nullptr);
}

TEST(FindFileNode, FirstEntryOfANameInDocumentOrder) {
  testing::FakeContext ctx;
  Log log;
  XmlNode* first = addnamed(log.root(), "file", "dup");
  addnamed(log.root(), "file", "dup");
  EXPECT_EQ(findfilenode(ctx.rc, log.root(), "dup"), first);
}

TEST(FindFileNode, EntriesWithoutNameAndAnEmptyLog) {
  testing::FakeContext ctx;
  Log log;
  EXPECT_EQ(findfilenode(ctx.rc, log.root(), "a"), nullptr);
  xmlnode(log.root(), "file");
  EXPECT_EQ(findfilenode(ctx.rc, log.root(), "a"), nullptr);
  EXPECT_EQ(findfilenode(ctx.rc, nullptr, "a"), nullptr);
}

TEST(FindFileNode, SearchStartsAtTheFirstFileFoundDepthFirst) {
  testing::FakeContext ctx;
  // The list that is searched is the one holding the first "file" element,
  // even when it is nested; entries elsewhere are not seen.
  Log log;
  XmlNode* group = xmlnode(log.root(), "group");
  XmlNode* inner = addnamed(group, "file", "inner");
  addnamed(log.root(), "file", "outer");
  EXPECT_EQ(findfilenode(ctx.rc, log.root(), "inner"), inner);
  EXPECT_EQ(findfilenode(ctx.rc, log.root(), "outer"), nullptr);
}

TEST(LogIndex, StaysRightAcrossAddfilenode) {
  testing::FakeContext ctx;
  Log log;
  xmlsetint(log.root(), "pversion", 1);
  FileStats st = somestats();
  EXPECT_EQ(findfilenode(ctx.rc, log.root(), "n0"), nullptr);  // index made while empty
  for (int i = 0; i < 200; ++i) {
    std::string name = "n" + std::to_string(i);
    XmlNode* e = addfilenode(ctx.rc, log.root(), nullptr, st, name.c_str(), nullptr, 0);
    ASSERT_EQ(findfilenode(ctx.rc, log.root(), name.c_str()), e) << i;
    ASSERT_EQ(findfilenode(ctx.rc, log.root(), "n0"), log.root()->first->next);
  }
  // Rewriting in place under the same name keeps the entry found.
  XmlNode* n5 = findfilenode(ctx.rc, log.root(), "n5");
  EXPECT_EQ(addfilenode(ctx.rc, log.root(), n5, st, "n5", "n5_v2", 0), n5);
  EXPECT_EQ(findfilenode(ctx.rc, log.root(), "n5"), n5);
  // Rewriting under another name moves the name with it.
  addfilenode(ctx.rc, log.root(), n5, st, "renamed", nullptr, 0);
  EXPECT_EQ(findfilenode(ctx.rc, log.root(), "n5"), nullptr);
  EXPECT_EQ(findfilenode(ctx.rc, log.root(), "renamed"), n5);
  // Renaming an entry to a name held further on makes it the first one.
  XmlNode* n9 = findfilenode(ctx.rc, log.root(), "n9");
  XmlNode* n150 = findfilenode(ctx.rc, log.root(), "n150");
  addfilenode(ctx.rc, log.root(), n150, st, "n9", nullptr, 0);
  EXPECT_EQ(findfilenode(ctx.rc, log.root(), "n9"), n9);
  addfilenode(ctx.rc, log.root(), n9, st, "other", nullptr, 0);
  EXPECT_EQ(findfilenode(ctx.rc, log.root(), "n9"), n150);
}

TEST(LogIndex, ChangesMadeBehindItsBackAreNoticed) {
  testing::FakeContext ctx;
  Log log;
  XmlNode* a = addnamed(log.root(), "file", "a");
  EXPECT_EQ(findfilenode(ctx.rc, log.root(), "a"), a);
  XmlNode* b = addnamed(log.root(), "file", "b");  // appended without addfilenode
  EXPECT_EQ(findfilenode(ctx.rc, log.root(), "b"), b);
  xmlfree(a, kXmlFreeUnlink);  // removed without addfilenode
  EXPECT_EQ(findfilenode(ctx.rc, log.root(), "a"), nullptr);
  XmlNode* name = b->first;
  xml_val(name, "c");  // renamed in place: the stale hit is not returned
  EXPECT_EQ(findfilenode(ctx.rc, log.root(), "b"), nullptr);
  EXPECT_EQ(findfilenode(ctx.rc, log.root(), "c"), b);
}

TEST(LogIndex, ArchiveAppendedByAddfilenodeIsNotFound) {
  testing::FakeContext ctx;
  Log log;
  FileStats st;
  addfilenode(ctx.rc, log.root(), nullptr, st, "a.zip", nullptr, kEntryArchive);
  EXPECT_EQ(findfilenode(ctx.rc, log.root(), "a.zip"), nullptr);
  XmlNode* f = addfilenode(ctx.rc, log.root(), nullptr, st, "a.zip", nullptr, 0);
  EXPECT_EQ(findfilenode(ctx.rc, log.root(), "a.zip"), f);
  EXPECT_STREQ(log.root()->first->name, "archive");
}

TEST(AddFileNode, ChildrenInOrderAndNoZeroValues) {
  testing::FakeContext ctx;
  Log log;
  FileStats st = somestats();
  XmlNode* e = addfilenode(ctx.rc, log.root(), nullptr, st, "src/a.c", "a.c_v1", 4);
  EXPECT_STREQ(e->name, "file");
  EXPECT_EQ(childnames(e), "name source version checksum size parity crc date time status ");
  EXPECT_STREQ(xmlpathval(e, "version"), "1.500000");
  EXPECT_STREQ(xmlpathval(e, "status"), "older");
  FileStats empty;
  XmlNode* z = addfilenode(ctx.rc, log.root(), nullptr, empty, "zero", nullptr, 0);
  EXPECT_EQ(childnames(z), "name ");
  FileStats back = somestats();
  checknode(ctx.rc, z, &back);
  EXPECT_EQ(back.size, 0);
  EXPECT_EQ(back.version, 0.0f);
  EXPECT_EQ(back.parity, 0);
}

TEST(AddFileNode, StatusWithoutStatistics) {
  testing::FakeContext ctx;
  Log log;
  FileStats st = somestats();
  XmlNode* missing = addfilenode(ctx.rc, log.root(), nullptr, st, "m", nullptr, 2);
  EXPECT_EQ(childnames(missing), "name status ");
  EXPECT_STREQ(xmlpathval(missing, "status"), "missing");
  XmlNode* source = addfilenode(ctx.rc, log.root(), nullptr, st, "s", "s_v1", 3);
  EXPECT_EQ(childnames(source), "name source status ");
  XmlNode* modified = addfilenode(ctx.rc, log.root(), nullptr, st, "x", nullptr, 1);
  EXPECT_STREQ(xmlpathval(modified, "status"), "modified");
  XmlNode* newer = addfilenode(ctx.rc, log.root(), nullptr, st, "y", nullptr, 5);
  EXPECT_STREQ(xmlpathval(newer, "status"), "newer");
  XmlNode* archive = addfilenode(ctx.rc, log.root(), nullptr, st, "z", nullptr, kEntryArchive | 2);
  EXPECT_STREQ(archive->name, "archive");
}

TEST(AddFileNode, RewriteKeepsThePlaceAmongSiblings) {
  testing::FakeContext ctx;
  Log log;
  FileStats st = somestats();
  addfilenode(ctx.rc, log.root(), nullptr, st, "a", nullptr, 0);
  XmlNode* b = addfilenode(ctx.rc, log.root(), nullptr, st, "b", nullptr, 0);
  addfilenode(ctx.rc, log.root(), nullptr, st, "c", nullptr, 0);
  FileStats changed = st;
  changed.size = 999;
  EXPECT_EQ(addfilenode(ctx.rc, log.root(), b, changed, "b", "b_v2", 0), b);
  EXPECT_EQ(log.root()->nchild, 3u);
  EXPECT_EQ(log.root()->first->next, b);
  FileStats back;
  checknode(ctx.rc, b, &back);
  EXPECT_EQ(back.size, 999);
  EXPECT_STREQ(xmlpathval(b, "source"), "b_v2");
}

TEST(AddFileNode, TraceLineAboveVerbosityOne) {
  ScratchDir dir;
  testing::FakeContext ctx;
  Log log;
  FileStats st = somestats();
  ctx.rc.verboseLevel = 1;
  addfilenode(ctx.rc, log.root(), nullptr, st, "quiet", nullptr, 0);
  ctx.rc.verboseLevel = 2;
  addfilenode(ctx.rc, log.root(), nullptr, st, "loud", nullptr, 0);
  std::string out = testing::readfile("trosk_tmp.txt");
  EXPECT_EQ(out.find("quiet"), std::string::npos);
  EXPECT_EQ(out.rfind("AFN  5/trosk 1 <", 0), 0u) << out;
  EXPECT_NE(out.find(" 0 0/ loud  2/29/24 23:59:01\n"), std::string::npos) << out;
}

TEST(CheckNode, ReadsBackWhatAddfilenodeWrote) {
  ScratchDir dir;
  testing::FakeContext ctx;
  Log log;
  FileStats st = somestats();
  st.checksum = -5;  // sums past 2^31 are kept as negative numbers
  addfilenode(ctx.rc, log.root(), nullptr, st, "a", nullptr, 0);
  ASSERT_EQ(xmlsave(ctx.rc, "log.xml", nullptr, log.root(), 0), 0);
  XmlDocument doc;
  ASSERT_EQ(xmlload(ctx.rc, "log.xml", doc, kXmlLoadAny | kXmlLoadKeepText), 1);
  XmlNode* e = findfilenode(ctx.rc, doc.root.get(), "a");
  ASSERT_NE(e, nullptr);
  FileStats back;
  EXPECT_EQ(checknode(ctx.rc, e, &back), 0);
  EXPECT_EQ(back.size, st.size);
  EXPECT_EQ(back.checksum, -5);
  EXPECT_EQ(back.parity, st.parity);
  EXPECT_EQ(back.crc, st.crc);
  EXPECT_EQ(back.date, st.date);
  EXPECT_EQ(back.time, st.time);
  EXPECT_FLOAT_EQ(back.version, 1.5f);
}

TEST(CheckNode, Sha256BesideTheChecksumsAndMalformedValues) {
  ScratchDir dir;
  testing::FakeContext ctx;
  Log log;
  FileStats st = somestats();
  st.sha256 = sha256of("abc");
  XmlNode* e = addfilenode(ctx.rc, log.root(), nullptr, st, "a", nullptr, 0);
  EXPECT_EQ(childnames(e), "name version checksum size parity crc sha256 date time ");
  xmladdval(addnamed(log.root(), "file", "bad"), "sha256", "ba7816bf", kXmlText);
  ASSERT_EQ(xmlsave(ctx.rc, "log.xml", nullptr, log.root(), 0), 0);
  XmlDocument doc;
  ASSERT_EQ(xmlload(ctx.rc, "log.xml", doc, kXmlLoadAny | kXmlLoadKeepText), 1);
  FileStats back;
  checknode(ctx.rc, findfilenode(ctx.rc, doc.root.get(), "a"), &back);
  EXPECT_EQ(sha256hex(back.sha256), sha256hex(st.sha256));
  EXPECT_EQ(back.crc, st.crc);
  checknode(ctx.rc, findfilenode(ctx.rc, doc.root.get(), "bad"), &back);
  EXPECT_EQ(back.sha256.state, Sha256Digest::kMalformed);
  addfilenode(ctx.rc, log.root(), e, FileStats{}, "a", nullptr, 0);
  checknode(ctx.rc, e, &back);
  EXPECT_EQ(back.sha256.state, Sha256Digest::kNone);
}

TEST(CheckNode, VersionBeyondAFloatReadsAsInfinity) {
  testing::FakeContext ctx;
  Log log;
  XmlNode* e = addnamed(log.root(), "file", "a");
  xmladdval(e, "version", "1e39", kXmlText);  // a host log may hold anything
  FileStats back;
  checknode(ctx.rc, e, &back);
  EXPECT_EQ(back.version, std::numeric_limits<float>::infinity());
}

TEST(CheckNode, SizesAreSixtyFourBitAndOldWrappedSizesReadAsMeant) {
  testing::FakeContext ctx;
  Log log;
  FileStats big;
  big.size = 6442450944;  // 6 GiB
  XmlNode* e = addfilenode(ctx.rc, log.root(), nullptr, big, "big", nullptr, 0);
  EXPECT_STREQ(xmlpathval(e, "size"), "6442450944");
  FileStats back;
  checknode(ctx.rc, e, &back);
  EXPECT_EQ(back.size, 6442450944);
  // A 2.5 GB file as a 32-bit log wrote it.
  XmlNode* old = addnamed(log.root(), "file", "old");
  xmladdval(old, "size", "-1673527296", kXmlText);
  checknode(ctx.rc, old, &back);
  EXPECT_EQ(back.size, 2621440000);
}

TEST(CheckNode, NumbersReadAsTheCLibraryReadsThem) {
  testing::FakeContext ctx;
  Log log;
  for (const std::string& text : std::vector<std::string>{
           "", " 12", "\t\n-7", "\v\f\r3", "+5x", "--3", "-", "abc", "1 2", "2147483648", "-2147483649",
        "4294967296", "9223372036854775807", "9223372036854775808", "-9223372036854775808",
        "-9223372036854775809", "99999999999999999999999", std::string(29, ' ') + "42",
        std::string(30, ' ') + "42", "000000000000000000000000000000000000001"}) {
    XmlNode* e = addnamed(log.root(), "file", "n");
    xmladdval(e, "checksum", text.c_str(), kXmlText);
    xmladdval(e, "size", text.c_str(), kXmlText);
    FileStats back;
    checknode(ctx.rc, e, &back);
    std::string cut = text.substr(0, 31);  // what a stored number is read from
    long long size = std::strtoll(cut.c_str(), nullptr, 10);
    if (size < 0 && size >= INT32_MIN) size += int64_t{1} << 32;
    EXPECT_EQ(back.checksum, static_cast<int32_t>(std::strtol(cut.c_str(), nullptr, 10))) << text;
    EXPECT_EQ(back.size, size) << text;
  }
}

TEST(CheckNode, LongNamesSurviveTheWriterAndReader) {
  ScratchDir dir;
  testing::FakeContext ctx;
  Log log;
  std::string name = "deep/" + std::string(120, 'd') + "/file.txt";
  addfilenode(ctx.rc, log.root(), nullptr, somestats(), name.c_str(), nullptr, 0);
  ASSERT_EQ(xmlsave(ctx.rc, "log.xml", nullptr, log.root(), 0), 0);
  XmlDocument doc;
  ASSERT_EQ(xmlload(ctx.rc, "log.xml", doc, kXmlLoadAny | kXmlLoadKeepText), 1);
  EXPECT_NE(findfilenode(ctx.rc, doc.root.get(), name.c_str()), nullptr);
}

}  // namespace
}  // namespace trosk
