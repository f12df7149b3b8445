// Unpacking downloaded archives: an archive with entries that climb out of
// the working directory, name an absolute path, or lead out through a
// symbolic link writes nothing outside it, whether it comes from the
// window's download or is unpacked directly; a file that exists is replaced
// only when the update question says yes (after its differences when asked).
#include <archive.h>
#include <archive_entry.h>

#include <QLineEdit>
#include <QTest>
#include <memory>

#include "consolerun.h"
#include "guitest.h"
#include "gui/unpack.h"
#include "testing/testing.h"
#include "workbench.h"

namespace trosk::testing {
namespace {

namespace fs = std::filesystem;

struct Entry {
  std::string name;
  std::string content;     // a file's text
  std::string linkto = {};  // a symbolic link's target instead
};

struct WriteFree {
  void operator()(archive* a) const { archive_write_free(a); }
};

bool makearchive(const fs::path& path, const std::vector<Entry>& entries) {
  std::unique_ptr<archive, WriteFree> out(archive_write_new());
  archive_write_add_filter_gzip(out.get());
  archive_write_set_format_pax_restricted(out.get());
  if (archive_write_open_filename(out.get(), path.c_str()) != ARCHIVE_OK) return false;
  for (const Entry& e : entries) {
    std::unique_ptr<archive_entry, decltype(&archive_entry_free)> entry(archive_entry_new(),
                                                                         archive_entry_free);
    archive_entry_set_pathname(entry.get(), e.name.c_str());
    archive_entry_set_perm(entry.get(), 0644);
    if (e.linkto.empty()) {
      archive_entry_set_filetype(entry.get(), AE_IFREG);
      archive_entry_set_size(entry.get(), static_cast<la_int64_t>(e.content.size()));
    } else {
      archive_entry_set_filetype(entry.get(), AE_IFLNK);
      archive_entry_set_symlink(entry.get(), e.linkto.c_str());
    }
    if (archive_write_header(out.get(), entry.get()) != ARCHIVE_OK) return false;
    archive_write_data(out.get(), e.content.data(), e.content.size());
  }
  return archive_write_close(out.get()) == ARCHIVE_OK;
}

bool empty(const fs::path& dir) { return fs::is_empty(dir); }

}  // namespace

class UnpackTest : public QObject {
  Q_OBJECT

 private slots:
  // The file view offers to unpack an archive by what it holds, not by its name.
  void archiveofanyname() {
    ScratchDir scratch;
    QVERIFY(makearchive(scratch.path / "bundle.dat", {{"inside.txt", "in\n"}}));
    writefile(scratch.path / "notes.zip", "plain text with an archive's name\n");
    QVERIFY(isarchive((scratch.path / "bundle.dat").string()));
    QVERIFY(!isarchive((scratch.path / "notes.zip").string()));
    QVERIFY(!isarchive((scratch.path / "absent.tar").string()));
  }

  void nothingoutside() {
    ScratchDir scratch;
    fs::path outside = scratch.path / "outside", host = scratch.path / "host",
             src = scratch.path / "src", work = scratch.path / "work";
    fs::create_directories(outside);
    fs::create_directories(host / "trosk");
    fs::create_directories(src);
    QVERIFY(makearchive(src / "bundle.tar.gz",
                        {{"inside/ok.txt", "fine\n"},
                         {"inside/link", "", "ok.txt"},
                         {"../escape.txt", "out\n"},
                         {(outside / "absolute.txt").string(), "out\n"},
                         {"uplink", "", "../outside"},
                         {"abslink", "", outside.string()},
                         {"pre/through.txt", "out\n"},
                         {"readme.txt", "theirs\n"}}));
    QCOMPARE(runtrosk(src, {"pack", "-source", "-host", host.string(), "-zip", "-add", "bundle.tar.gz"},
                      lines({"archive", "n"})),
             0);
    writefile(work / "readme.txt", "mine\n");
    fs::create_directory_symlink(outside, work / "pre");

    Workbench bench(work);
    QTest::keyClicks(bench.find<QLineEdit>("newproject"), QStringLiteral("pack"));
    bench.find<QLineEdit>("options")->setText(QString::fromStdString("-host " + host.string()));
    bench.answers = {"y", "n", "y", "n"};
    QVERIFY(bench.run("download"));
    QVERIFY2(bench.unanswered == 0 && bench.answers.empty(), qPrintable(bench.questions.join('|')));
    QCOMPARE(bench.questions.mid(2), (QStringList{"Unpack bundle.tar.gz into the working directory (y/n)?",
                                                  "Update local file <readme.txt> (y/n/AllYes/diff)?"}));

    QVERIFY(empty(outside));
    QVERIFY(!fs::exists(scratch.path / "escape.txt"));
    QCOMPARE(readfile(work / "inside/ok.txt"), std::string("fine\n"));
    QVERIFY(fs::is_symlink(work / "inside/link"));
    QCOMPARE(readfile(work / "readme.txt"), std::string("mine\n"));
    QVERIFY(!fs::exists(fs::symlink_status(work / "uplink")));
    QVERIFY(!fs::exists(fs::symlink_status(work / "abslink")));
    const QString& output = bench.outputs.last();
    for (QString line : {"   Not unpacked: ../escape.txt (parent directory step)",
                         "   Not unpacked: uplink (link that leads outside)",
                         "   Not unpacked: abslink (link that leads outside)",
                         "   Not unpacked: pre/through.txt (through a symbolic link)", "   Kept: readme.txt",
                         "Unpacked 2 entries from bundle.tar.gz (5 refused, 1 kept)"}) {
      QVERIFY2(output.contains(line), qPrintable(output));
    }
    QVERIFY(output.contains(QString::fromStdString((outside / "absolute.txt").string()) + " (absolute path)"));
  }

  void existingfileasks() {
    ScratchDir scratch;
    writefile("a.txt", "one\ntwo\n");
    writefile("b.txt", "mine\n");
    QVERIFY(makearchive("bundle.tgz", {{"a.txt", "one\nthree\n"}, {"b.txt", "theirs\n"},
                                       {"c.txt", "new\n"}}));
    FakeContext run;
    FakeFrontend& answers = run.fake;
    answers.answers = {"d", "y", "n"};
    UnpackCount count = unpackarchive(run.rc, "bundle.tgz", "demo");
    QCOMPARE(count.written, 2);
    QCOMPARE(count.kept, 1);
    QCOMPARE(readfile("a.txt"), std::string("one\nthree\n"));
    QCOMPARE(readfile("b.txt"), std::string("mine\n"));
    QCOMPARE(readfile("c.txt"), std::string("new\n"));
    QCOMPARE(answers.questions.size(), std::size_t{3});
    QCOMPARE(answers.questions[1], std::string("Update local file <a.txt> (y/n/AllYes/diff)? "));
    QVERIFY(readfile("trosk_tmp.txt").find("+three") != std::string::npos);
    QVERIFY(!fs::exists("troskdiff.tmp"));
  }
};

TROSK_GUI_TEST(UnpackTest);

}  // namespace trosk::testing

#include "unpack_test.moc"
