#include "repo/logtable.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/strutil.h"
#include "repo/projectlog.h"
#include "repo/sharedbase.h"
#include "testing/testing.h"
#include "xml/xmlfind.h"
#include "xml/xmlparse.h"
#include "xml/xmlvalues.h"
#include "xml/xmlwrite.h"

namespace trosk {
namespace {

// Random logs with the shapes that decide lookups: entries whose names
// repeat or end in blanks, names in other cases, "filex" and "archive"
// entries, values and lists nested in entries, status words and CDATA.
std::string randomlog(std::mt19937& rng) {
  auto pick = [&](std::initializer_list<const char*> words) {
    return std::string(words.begin()[rng() % words.size()]);
  };
  auto leaf = [&](const std::string& tag, const std::string& value) {
    return rng() % 8 ? "<" + tag + ">" + value + "</" + tag + ">"
                     : "<" + tag + "><![CDATA[" + value + "]]></" + tag + ">";
  };
  std::string text = "<?xml version=\"1.0\"?>\n<" + pick({"trosk", "trosk", "TROSK", "log"}) + ">";
  int children = static_cast<int>(rng() % 12);
  for (int i = 0; i < children; ++i) {
    std::string tag = pick({"file", "file", "file", "File", "filex", "archive", "pversion",
                            "subversion", "host", "other"});
    if (tag == "pversion" || tag == "subversion" || tag == "host") {
      text += leaf(tag, std::to_string(rng() % 5));
      continue;
    }
    text += "<" + tag + ">";
    int parts = static_cast<int>(rng() % 6);
    for (int k = 0; k < parts; ++k) {
      std::string child = pick({"name", "name", "NAME", "source", "size", "checksum", "crc",
                                "status", "date", "subversion", "host", "file", "x"});
      if (child == "x" || child == "file") {
        text += "<" + child + ">" + leaf("name", "n" + std::to_string(rng() % 4)) +
                leaf("size", std::to_string(rng() % 9)) + "</" + child + ">";
      } else {
        text += leaf(child, (child == "name" ? "n" : "") + std::to_string(rng() % 4) +
                                pick({"", "", " ", "\n "}));
      }
    }
    text += "</" + tag + ">";
  }
  return text + "</trosk>\n";
}

bool samerecord(RunContext& rc, const LogRecord* table, XmlNode* tree) {
  if (!table || !tree) return !table && !tree;
  FileStats st;
  checknode(rc, tree, &st);
  bool flagged = false;
  for (XmlNode* c = tree->first; c; c = c->next) flagged = flagged || xmlisnamed(c, "status");
  const FileStats& t = table->stats;
  return st.size == t.size && st.checksum == t.checksum && st.parity == t.parity &&
         st.crc == t.crc && st.date == t.date && st.time == t.time && st.version == t.version &&
         flagged == table->flagged;
}

bool samerecord(RunContext& rc, const NameIndex::Named* named, XmlNode* tree) {
  return samerecord(rc, named ? &named->record : nullptr, tree);
}

// The parser reports broken texts on the run's output; these tests look only
// at the answers and leave no output file behind.
struct QuietContext : testing::FakeContext {
  QuietContext() { rc.output.tofile = false; }
};

std::string text256(XmlNode* node, const char* name) {
  char out[256];
  return xmlgettext(node, name, out, sizeof out);
}

TEST(LogTable, AnswersAsTheTreeOfTheSameText) {
  QuietContext ctx;
  std::mt19937 rng(5);
  for (int round = 0; round < 2000; ++round) {
    std::string text = randomlog(rng);
    SCOPED_TRACE(text);
    std::string copy = text;
    XmlTree tree(xmlparsetext(ctx.rc, text.data()));
    LogTable table;
    ASSERT_EQ(readlogtable(ctx.rc, copy.data(), kReadEntries | kReadIndex, table), tree ? 1 : -2);
    if (!tree) continue;
    XmlNode* root = tree.get();
    EXPECT_EQ(table.children, xmlnchild(root));
    for (auto [name, value] : {std::pair{"host", &table.host}, {"pversion", &table.pversion},
                               {"subversion", &table.subversion}}) {
      const char* expected = xmlpathval(root, name);
      EXPECT_EQ(value->has_value(), expected != nullptr) << name;
      if (expected && *value) {
        EXPECT_EQ(**value, expected) << name;
      }
    }
    for (const char* probe : {"n0", "n1", "n2 ", "n3\n", "n4", "0", ""}) {
      EXPECT_TRUE(samerecord(ctx.rc, table.findfile(probe), findfilenode(ctx.rc, root, probe)))
          << probe;
      XmlNode* archive = nullptr;
      for (XmlNode* n = root->first; n && !archive; n = n->next) {
        if (xmlisnamed(n, "archive") && text256(n, "name") == probe && *probe) archive = n;
      }
      EXPECT_TRUE(samerecord(ctx.rc, table.findarchive(probe), archive)) << probe;
    }
    auto entry = table.entries.begin();
    uint32_t position = 0;
    for (XmlNode* n = root->first; n; n = n->next, ++position) {
      bool file = n->namelen >= 4 && strncmpi(n->name, "file", 4) == 0;
      bool archive = n->namelen >= 7 && strncmpi(n->name, "archive", 7) == 0;
      if (!file && !archive) continue;
      ASSERT_NE(entry, table.entries.end());
      EXPECT_EQ(entry->position, position);
      EXPECT_EQ((entry->kind & kLogFile) != 0, xmlisnamed(n, "file"));
      EXPECT_EQ((entry->kind & kLogFilePrefix) != 0, file);
      EXPECT_EQ((entry->kind & kLogArchivePrefix) != 0, archive);
      EXPECT_EQ(table.text(entry->name, entry->namelength), text256(n, "name"));
      EXPECT_EQ(table.text(entry->source, entry->sourcelength), text256(n, "source"));
      EXPECT_TRUE(samerecord(ctx.rc, &entry->record, n));
      ++entry;
    }
    EXPECT_EQ(entry, table.entries.end());
  }
}

TEST(LogTable, DocumentElementNamedLikeAnEntryIsLeftToTheTree) {
  QuietContext ctx;
  std::string text = "<file><name>a</name></file>";
  LogTable table;
  EXPECT_EQ(readlogtable(ctx.rc, text.data(), kReadIndex, table), 0);
  std::string broken = "<trosk><file><name>a</name></file><x>t</y></trosk>";
  EXPECT_EQ(readlogtable(ctx.rc, broken.data(), kReadIndex, table), -2);
  std::string subversion = "<subversion><![CDATA[7]]><file><subversion>3</subversion></file></subversion>";
  EXPECT_EQ(readlogtable(ctx.rc, subversion.data(), kReadIndex, table), 1);
  EXPECT_EQ(table.subversion, "7");  // the document element comes first
}

TEST(LogTable, NestedAsDeepAsASearchGoes) {
  QuietContext ctx;
  for (int depth = 37; depth <= 42; ++depth) {
    std::string open, close;
    for (int i = 0; i < depth; ++i) {
      open += "<d>";
      close = "</d>" + close;
    }
    std::string text = "<trosk>" + open + "<subversion>4</subversion><file><name>a</name></file>" +
                       close + "<subversion>5</subversion></trosk>";
    std::string copy = text;
    XmlTree tree(xmlparsetext(ctx.rc, text.data()));
    LogTable table;
    ASSERT_EQ(readlogtable(ctx.rc, copy.data(), kReadIndex, table), 1);
    EXPECT_EQ(table.subversion, xmlpathval(tree.get(), "subversion")) << depth;
    EXPECT_EQ(table.findfile("a") != nullptr, findfilenode(ctx.rc, tree.get(), "a") != nullptr)
        << depth;
  }
}

// Everything a table holds, as text.
std::string dump(const LogTable& t) {
  std::string out = "children " + std::to_string(t.children) + "\n";
  for (const auto* v : {&t.host, &t.pversion, &t.subversion}) out += *v ? "[" + **v + "]\n" : "-\n";
  auto record = [](const LogRecord& r) {
    const FileStats& s = r.stats;
    return std::to_string(s.size) + " " + std::to_string(s.checksum) + " " + std::to_string(s.parity) +
           " " + std::to_string(s.crc) + " " + std::to_string(s.date) + " " + std::to_string(s.time) +
           " " + std::to_string(s.version) + " " + std::to_string(s.sha256.state) + " " +
           std::to_string(r.flagged) + "\n";
  };
  for (const LogEntry& e : t.entries) {
    out += std::to_string(e.position) + " " + std::to_string(e.kind) + " [" +
           std::string(t.text(e.name, e.namelength)) + "] [" +
           std::string(t.text(e.source, e.sourcelength)) + "] " + record(e.record);
  }
  for (const NameIndex* index : {&t.files, &t.archives}) {
    out += "index\n";
    for (const NameIndex::Named& n : index->records) out += "[" + std::string(index->nameof(n)) + "] " + record(n.record);
  }
  return out;
}

// Logs in the layout the system writes, and small departures from it that
// a quick reading must either read as the tree does or leave to it.
std::string writtenlog(std::mt19937& rng) {
  auto pick = [&](std::initializer_list<const char*> words) {
    return std::string(words.begin()[rng() % words.size()]);
  };
  auto blank = [&] { return pick({"", "\n", "\n ", "\n  ", " ", "\t"}); };
  auto odd = [&](std::string usual) {
    if (rng() % 40) return usual;
    return pick({"<!-- c -->", "<x a='1'>v</x>", "<x/>", "</X>", "loose", "<![CDATA[v]]>", "<y><z>1</z></y>", "<"});
  };
  std::string text = pick({"", "<?xml version=\"1.0\"?>\n", " <?xml?>", "<??>"}) + "<" +
                     pick({"trosk", "trosk", "Trosk", "host"}) + ">";
  std::string root = text.substr(text.rfind('<') + 1, text.size() - text.rfind('<') - 2);
  for (const char* value : {"pversion", "subversion"}) {
    if (rng() % 4) text += blank() + "<" + value + ">" + std::to_string(rng() % 9) + "</" + value + ">";
  }
  int children = static_cast<int>(rng() % 10);
  for (int i = 0; i < children; ++i) {
    std::string tag = pick({"file", "file", "file", "FILE", "filex", "archive", "host", "shared", "other"});
    text += blank() + odd("<" + tag + ">");
    if (tag == "host" || tag == "shared") {
      text += pick({"", "  ", "h1", " h2 ", "a>b"}) + "</" + tag + ">";
      continue;
    }
    int fields = static_cast<int>(rng() % 8);
    for (int k = 0; k < fields; ++k) {
      std::string field = pick({"name", "name", "Name", "source", "size", "checksum", "parity", "crc",
                                "date", "time", "version", "sha256", "status", "host", "file", "subversion"});
      std::string value = field == "name" || field == "source"
                              ? "n" + std::to_string(rng() % 4) + pick({"", "", " ", "\n "})
                              : std::to_string(rng() % 99) + pick({"", "", "x", " "});
      if (field == "sha256") value = std::string(64, "0af"[rng() % 3]);
      if (rng() % 50 == 0) value = std::string(300, 'l');  // past what 256 bytes keep
      text += blank() + odd("<" + field + ">" + blank() + (rng() % 9 ? value : "") + "</" + field + ">");
    }
    text += blank() + "</" + tag + ">";
  }
  return text + blank() + odd("</" + root + ">") + blank();
}

TEST(LogTable, WrittenLayoutReadsAsTheTreeReadsIt) {
  QuietContext ctx;
  std::mt19937 rng(11);
  for (int round = 0; round < 3000; ++round) {
    std::string text = writtenlog(rng);
    SCOPED_TRACE(text);
    for (int what : {kReadEntries, kReadIndex}) {
      std::string quick = text, tree = text;
      LogTable read, reference;
      int got = readlogtable(ctx.rc, quick.data(), what, read);
      ASSERT_EQ(got, readlogtable(ctx.rc, tree.data(), what | kReadTree, reference));
      if (got == 1) ASSERT_EQ(dump(read), dump(reference));
    }
  }
}

// The indented text of a tree, as a log file gets it.
std::string saved(RunContext& rc, XmlNode* root) {
  char* buffer = nullptr;
  std::size_t size = 0;
  FILE* stream = open_memstream(&buffer, &size);
  xmlsave(rc, nullptr, stream, root, 0);
  std::fclose(stream);
  std::string text(buffer, size);
  std::free(buffer);
  return text;
}

// The changes an upload makes, on a tree: the first entry rewritten, one
// entry added, the values set.
void change(RunContext& rc, XmlNode* root, XmlNode* first) {
  FileStats stats;
  stats.size = 12;
  stats.date = 20260102;
  if (first) addfilenode(rc, root, first, stats, "n1", "n1_v2", 0);
  addfilenode(rc, root, nullptr, stats, "added", nullptr, 1);  // "modified"
  switchshared(root, 3);
  setchildint(root, "subversion", 7);
}

TEST(LogTable, LogReadToChangeWritesAsItsTreeWrites) {
  QuietContext ctx;
  std::mt19937 rng(5);
  int edited = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string random = writtenlog(rng), parsed = random;
    XmlTree whole(xmlparsetext(ctx.rc, parsed.data()));
    if (!whole || !whole->name) continue;
    // The random text is mostly not as the system writes it; the text
    // written from its tree is.
    for (std::string text : {random, saved(ctx.rc, whole.get())}) {
      SCOPED_TRACE(text);
      LogTable table;
      std::string kept = text, copy = text;
      if (readlogtable(ctx.rc, kept.data(), kReadEntries | kReadIndex | kReadEdit, table) != 1) continue;
      ASSERT_EQ(kept, text);  // left as it is: the tree's entries lie in it
      XmlTree tree(xmlparsetext(ctx.rc, copy.data()));
      ASSERT_EQ(saved(ctx.rc, table.tree.get()), text);
      ASSERT_EQ(saved(ctx.rc, tree.get()), text);
      XmlNode* first = nullptr;
      if (!table.entries.empty()) first = xmlnthkid(tree.get(), static_cast<int>(table.entries[0].position) + 1);
      change(ctx.rc, table.tree.get(), table.entrynodes.empty() ? nullptr : table.entrynodes[0]);
      change(ctx.rc, tree.get(), first);
      ASSERT_EQ(saved(ctx.rc, table.tree.get()), saved(ctx.rc, tree.get()));
      ++edited;
    }
  }
  EXPECT_GT(edited, 300);
}

}  // namespace
}  // namespace trosk
