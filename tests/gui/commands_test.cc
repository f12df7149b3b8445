// Each button of the project dialog against a directory host: the files,
// logs and output file it leaves are those the console leaves for the same
// command and the same answers.
#include <QLabel>
#include <QTest>
#include <chrono>
#include <memory>

#include "consolerun.h"
#include "guitest.h"
#include "gui/runcommand.h"
#include "testing/testing.h"
#include "workbench.h"

namespace trosk::testing {
namespace {

namespace fs = std::filesystem;

const char* const kFiles[] = {"a.txt", "b.txt", "c.txt", "d.txt", "e.txt"};

// Compares file by file, so that a failure names the file.
void comparetrees(const std::map<std::string, std::string>& got,
                  const std::map<std::string, std::string>& expected) {
  QStringList gotnames, expectednames;
  for (const auto& [name, content] : got) gotnames << QString::fromStdString(name);
  for (const auto& [name, content] : expected) expectednames << QString::fromStdString(name);
  QCOMPARE(gotnames, expectednames);
  for (const auto& [name, content] : expected) {
    QVERIFY2(got.at(name) == content, name.c_str());
  }
}

std::vector<std::string> stdwords(const QStringList& list) {
  std::vector<std::string> words;
  for (const QString& s : list) words.push_back(s.toStdString());
  return words;
}

}  // namespace

class CommandsTest : public QObject {
  Q_OBJECT

  std::unique_ptr<ScratchDir> scratch_;
  fs::path work_, host_, pristine_;

 private slots:
  void initTestCase() {
    scratch_ = std::make_unique<ScratchDir>();
    work_ = scratch_->path / "work";
    host_ = scratch_->path / "host";
    pristine_ = scratch_->path / "pristine";
    fs::create_directories(host_ / "trosk");
    for (const char* name : kFiles) {
      std::string text;
      for (int line = 1; line <= 12; ++line) text += std::string(name) + " line " + std::to_string(line) + "\n";
      writefile(work_ / name, text);
    }
    std::vector<std::string> add{"demo", "-source", "-host", host_.string(), "-add"};
    add.insert(add.end(), std::begin(kFiles), std::end(kFiles));
    QCOMPARE(runtrosk(work_, add, lines({"first version", "y"})), 0);
    QVERIFY(fs::exists(work_ / "trosk_project.xml"));
    QVERIFY(copytree(work_, pristine_ / "work"));
    QVERIFY(copytree(host_, pristine_ / "host"));
  }

  void init() {
    QVERIFY(copytree(pristine_ / "work", work_));
    QVERIFY(copytree(pristine_ / "host", host_));
  }

  void cleanupTestCase() { scratch_.reset(); }

  void matchesconsole_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QStringList>("changed");  // local files changed before the command
    QStringList all{"a.txt", "b.txt", "c.txt", "d.txt", "e.txt"};
    QTest::newRow("status") << "status" << QStringList{"demo", "-status"} << QStringList{}
                            << QStringList{"b.txt"};
    // Yes asks to confirm the older copy; after a diff the question comes again.
    QTest::newRow("download: yes, no, diff then yes, no to all")
        << "download" << QStringList{"demo", "-download"} << QStringList{"y", "y", "n", "d", "y", "X"}
        << all;
    QTest::newRow("download: yes to all")
        << "download" << QStringList{"demo", "-download"} << QStringList{"n", "A", "y"} << all;
    QTest::newRow("upload: a new subversion")
        << "upload" << QStringList{"demo", "-upload"}
        << QStringList{"y", "fixed two files", "d", "y", "n"} << QStringList{"a.txt", "c.txt", "e.txt"};
    QTest::newRow("show versions") << "show" << QStringList{"demo", "-show"} << QStringList{}
                                   << QStringList{};
    QTest::newRow("show log") << "log" << QStringList{"demo", "-log"} << QStringList{}
                              << QStringList{};
    QTest::newRow("verify local") << "verify" << QStringList{"demo", "-verify"} << QStringList{}
                                  << QStringList{"d.txt"};
  }

  void matchesconsole() {
    QFETCH(QString, button);
    QFETCH(QStringList, args);
    QFETCH(QStringList, answers);
    QFETCH(QStringList, changed);
    for (const QString& name : changed) {
      fs::path file = work_ / name.toStdString();
      writefile(file, "changed first line\n" + readfile(file) + "one more line\n");
      // Newer than the host copy by far: a download asks to confirm the older copy.
      fs::last_write_time(file, fs::file_time_type::clock::now() + std::chrono::hours(1));
    }
    fs::path saved = scratch_->path / "saved";
    QVERIFY(copytree(work_, saved / "work"));
    QVERIFY(copytree(host_, saved / "host"));
    runtrosk(work_, stdwords(args), lines(stdwords(answers)));
    auto expectedwork = tree(work_), expectedhost = tree(host_);
    QVERIFY(copytree(saved / "work", work_));
    QVERIFY(copytree(saved / "host", host_));

    Workbench bench(work_);
    for (const QString& a : answers) bench.answers.push_back(a);
    if (QTest::currentDataTag() == QByteArray("download: yes, no, diff then yes, no to all") &&
        qEnvironmentVariableIsSet("TROSK_SCREENSHOTS")) {
      bench.questionshot = qEnvironmentVariable("TROSK_SCREENSHOTS") + "/trosk-gui-question.png";
    }
    fs::path cwd = fs::current_path();
    QVERIFY(bench.run(button.toLatin1().constData()));
    QCOMPARE(fs::current_path(), cwd);  // the command worked in its own directory only
    QVERIFY2(bench.unanswered == 0 && bench.answers.empty(), qPrintable(bench.questions.join('|')));
    QVERIFY(bench.alerts.isEmpty());
    QCOMPARE(bench.find<QLabel>("command")->text(), "Command: trosk " + args.join(' '));
    QCOMPARE(bench.diffs.size(), answers.count("d"));
    for (const QString& diff : bench.diffs) QVERIFY2(diff.contains("@@ "), qPrintable(diff));

    auto gotwork = tree(work_);
    std::string& output = gotwork["trosk_tmp.txt"];
    QCOMPARE(bench.outputs.last().toStdString(), readfile(work_ / "trosk_tmp.txt"));
    std::string closing = std::string("\n") + kClosingLine + "\n";
    QVERIFY(output.ends_with(closing));
    output.resize(output.size() - closing.size());
    comparetrees(gotwork, expectedwork);
    comparetrees(tree(host_), expectedhost);
  }
};

TROSK_GUI_TEST(CommandsTest);

}  // namespace trosk::testing

#include "commands_test.moc"
