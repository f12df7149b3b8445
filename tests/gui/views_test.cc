// The window's views against a directory host: a status lists exactly the
// files that differ with their states, a download gives them their outcomes
// and a summary; Cancel in the comment dialog publishes nothing; the
// versions view marks the releases; the keyboard reaches every button once;
// and the README's pictures.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <set>

#include "consolerun.h"
#include "gui/filelist.h"
#include "gui/versionlist.h"
#include "guitest.h"
#include "testing/testing.h"
#include "workbench.h"

namespace trosk::testing {
namespace {

namespace fs = std::filesystem;

// Rows by file name: "state|result".
std::map<QString, QString> rowsof(const FileListModel& model) {
  std::map<QString, QString> rows;
  for (int i = 0; i < model.rowCount(); ++i) {
    const FileRow& r = model.row(i);
    if (r.state != QLatin1String("Unchanged")) rows[r.name] = r.state + '|' + outcomeword(r);
  }
  return rows;
}

void project(const fs::path& work, const fs::path& host, int files) {
  fs::create_directories(host / "trosk");
  std::vector<std::string> add{"demo", "-source", "-host", host.string(), "-add"};
  for (int i = 0; i < files; ++i) {
    std::string name = "f" + std::to_string(i) + ".txt";
    writefile(work / name, name + " line one\nline two\n");
    add.push_back(name);
  }
  QCOMPARE(runtrosk(work, add, lines({"first version", "y"})), 0);
}

}  // namespace

class ViewsTest : public QObject {
  Q_OBJECT

  std::unique_ptr<ScratchDir> scratch_;
  fs::path work_, host_;

 private slots:
  void init() {
    scratch_ = std::make_unique<ScratchDir>();
    work_ = scratch_->path / "work";
    host_ = scratch_->path / "host";
    project(work_, host_, 5);
    writefile(work_ / "f0.txt", "changed here\n");
    fs::remove(work_ / "f1.txt");
    writefile(work_ / "new.txt", "not on the host\n");
  }

  void cleanup() { scratch_.reset(); }

  void statusthendownload() {
    Workbench bench(work_);
    QVERIFY(bench.run("status"));
    std::map<QString, QString> expected{{"f0.txt", "Modified|"}, {"f1.txt", "Missing|"}, {"new.txt", "New|"}};
    QCOMPARE(rowsof(bench.window.files()), expected);
    QCOMPARE(bench.find<QTableView>("files")->model()->rowCount(), 3);  // only what differs, at first
    QCOMPARE(bench.find<QLabel>("result")->text(), "3 of 5 files differ: 1 missing, 1 modified, 1 new");

    bench.answers = {"y"};  // replace the modified file
    QVERIFY(bench.run("download"));
    expected = {{"f0.txt", "Modified|backed up to Trosk_bkup/f0.txt"},
                {"f1.txt", "Missing|downloaded"},
                {"new.txt", "New|"}};
    QCOMPARE(rowsof(bench.window.files()), expected);
    QCOMPARE(bench.find<QLabel>("result")->text(), "1 downloaded, 1 backed up");
    QVERIFY(bench.viewed.isEmpty());  // the full text stays one click away
    QTest::mouseClick(bench.find<QPushButton>("showoutput"), Qt::LeftButton);
    QTRY_COMPARE(bench.viewed.size(), 1);
    QCOMPARE(bench.viewed.last(), bench.outputs.last());

    QVERIFY(bench.run("download"));
    QCOMPARE(bench.find<QLabel>("result")->text(), "Nothing to download: all 5 files are up to date");
  }

  // The window asks about a signed host's key in a dialog of its own; the
  // key trusted, the project list records it and the download goes on.
  void signedhost() {
    fs::path key = scratch_->path / "key.pem";
    QCOMPARE(std::system(("openssl genpkey -algorithm ed25519 -out '" + key.string() + "' 2>/dev/null").c_str()), 0);
    QCOMPARE(runtrosk(work_, {"demo", "-sign", key.string(), "-current"}, ""), 0);
    fs::path reader = scratch_->path / "reader";
    fs::create_directories(reader);
    writefile(reader / "trosk_project.xml", "<trosk><project><name>demo</name><host>" + host_.string() +
                                                "</host></project></trosk>\n");
    Workbench bench(reader);
    bench.answers = {"y", "n"};  // a new local log; the key refused
    QVERIFY(bench.run("download"));
    QCOMPARE(bench.questions.size(), 2);
    QVERIFY(bench.questions[1].startsWith("trust "));
    QVERIFY(!fs::exists(reader / "f2.txt"));
    QVERIFY(bench.frontend.failure().text.startsWith("TROSK error -- Refused host file"));
    bench.answers = {"y", "y"};
    QVERIFY(bench.run("download"));
    QVERIFY(fs::exists(reader / "f2.txt"));
    QVERIFY(readfile(reader / "trosk_project.xml").find("<trust>") != std::string::npos);
  }

  void cancelledcommentpublishesnothing() {
    Workbench bench(work_);
    auto before = tree(host_);
    bench.answers = {"y", kCancelAnswer};  // the changed file, then Cancel in "Add comment: "
    QVERIFY(bench.run("upload"));
    QVERIFY2(bench.questions.last().startsWith("Add comment"), qPrintable(bench.questions.join('|')));
    QCOMPARE(tree(host_), before);
    QVERIFY(bench.find<QLabel>("result")->text().startsWith("Cancelled"));
  }

  // What a drop or Add files does: the comment first, Cancel there adds nothing.
  void addingfiles() {
    Workbench bench(work_);
    writefile(work_ / "more.txt", "more\n");
    auto before = tree(host_);
    bench.answers = {kCancelAnswer};
    QVERIFY(!bench.window.addfiles({QString::fromStdString((work_ / "more.txt").string())}));
    QCOMPARE(tree(host_), before);

    bench.answers = {"more of it"};
    qsizetype ran = bench.outputs.size();
    QVERIFY(bench.window.addfiles({QString::fromStdString((work_ / "more.txt").string())}));
    QVERIFY(bench.waitended(ran));
    QVERIFY(bench.alerts.isEmpty());
    QCOMPARE(bench.find<QLabel>("result")->text(), QStringLiteral("Added 1 file to demo"));
    QVERIFY(readfile(host_ / "trosk/demo/versionlog.txt").find("Added files -- more of it") !=
            std::string::npos);

    // Outside the working directory: refused with a word, nothing runs.
    QVERIFY(!bench.window.addfiles({QString::fromStdString((host_ / "trosk/demo/current.xml").string())}));
    QVERIFY(bench.alerts.last().startsWith("Only files inside the working directory"));
  }

  // A long line of options or command wraps instead of widening the window.
  void longoptions() {
    Workbench bench(work_);
    bench.window.resize(800, 600);
    bench.find<QLineEdit>("options")->setText("-comment " + QString(600, 'x'));
    QVERIFY(bench.run("status"));
    QTest::qWait(20);
    QVERIFY2(bench.window.width() <= 800, qPrintable(QString::number(bench.window.width())));
    QVERIFY(bench.window.minimumSizeHint().width() <= 800);
  }

  // Closing during a command asks, and on yes cancels it and closes once it
  // has stopped, every file whole.
  void closingduringacommand() {
    Workbench bench(work_);
    std::string changed = readfile(work_ / "f0.txt");
    bench.answering = false;
    // The user closes the window while the update question waits (inside
    // its dialog's own event loop, as a person's click would be).
    bool goeson = false, closed = false;
    QTimer user;
    connect(&user, &QTimer::timeout, this, [&] {
      QWidget* modal = QApplication::activeModalWidget();
      if (closed || !modal || modal->objectName() != QLatin1String("buttonquestion")) return;
      closed = true;
      bench.answers = {"n"};
      bench.window.close();
      goeson = bench.window.isVisible() && bench.window.busy();  // "no": the command goes on
      bench.answers = {"y", "y"};  // yes, cancel and close; then replace f0.txt: too late
      bench.window.close();
      bench.answering = true;
    });
    user.start(10);
    QTest::mouseClick(bench.find<QPushButton>("download"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(closed && !bench.window.isVisible(), 60000);
    QVERIFY(goeson);
    QVERIFY(!bench.window.busy());
    QVERIFY(readfile(work_ / "f0.txt") == changed);
  }

  void verbosekeepstheoutput() {
    Workbench bench(work_);
    bench.find<QCheckBox>("verbose")->setChecked(true);
    QVERIFY(bench.run("status"));
    QVERIFY(bench.outputs.last().contains("DoTrosk: demo"));
    QVERIFY(bench.outputs.last().contains("Modified: f0.txt"));
  }

  // Tab reaches each button once, in reading order; no two share an Alt key;
  // Enter presses the focused one.
  void keyboard() {
    Workbench bench(work_);
    QVERIFY(QTest::qWaitForWindowActive(&bench.window));
    QStringList order;
    QWidget* start = bench.find("status");
    start->setFocus();
    QWidget* w = start;
    do {
      if (qobject_cast<QAbstractButton*>(w) && w->isVisible()) order << w->objectName();
      w = w->nextInFocusChain();
    } while (w != start);
    QStringList column{"status", "download", "upload", "addfiles", "show", "log", "verify",
                       "settings", "verbose", "help", "about", "exit"};
    QCOMPARE(order.mid(0, column.size()), column);

    // Those of the hidden pages too: a page shows up with the others.
    std::set<QChar> keys;
    QStringList texts;
    for (QAbstractButton* b : bench.window.findChildren<QAbstractButton*>()) texts << b->text();
    for (QLabel* l : bench.window.findChildren<QLabel*>()) texts << l->text();
    for (const QString& text : texts) {
      QRegularExpressionMatch m = QRegularExpression("&(\\w)").match(text);
      if (m.hasMatch()) QVERIFY2(keys.insert(m.captured(1).at(0).toLower()).second, qPrintable(text));
    }

    qsizetype before = bench.outputs.size();
    bench.find("status")->setFocus();
    QTest::keyClick(bench.find("status"), Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(bench.outputs.size() > before, 60000);
  }

  void versions() {
    Workbench bench(work_);
    QVERIFY(bench.run("show"));
    VersionListModel& versions = bench.window.versions();
    QCOMPARE(versions.rowCount(), 1);
    QCOMPARE(versions.row(0).comment, QStringLiteral("first version"));
    QCOMPARE(versions.marks(versions.row(0)), QStringLiteral("stable, in this directory"));
    auto* view = bench.find<QTableView>("versions");
    view->setCurrentIndex(view->model()->index(0, 0));
    QVERIFY(bench.run("downloadversion"));
    QCOMPARE(bench.find<QLabel>("command")->text(), QStringLiteral("Command: trosk demo -download -version 1/1"));
  }

  // The words of states and summaries, fed as the engine sends them.
  void words() {
    FileListModel model;
    auto state = [](const char* name, const char* word, bool here, bool host) {
      FileState s;
      s.name = name;
      s.state = word;
      s.localExists = true;
      s.differs = true;
      s.changedHere = here;
      s.changedOnHost = host;
      return stateevent(QStringLiteral("demo"), s);
    };
    RunSummary summary;
    summary.compared = 4;
    summary.counts[static_cast<int>(FileOutcome::kDownloaded)] = 2;
    summary.counts[static_cast<int>(FileOutcome::kLeft)] = 1;
    model.take({state("a", "Modified", true, true), state("b", "Modified", false, true),
                state("c", "Old", false, false), state("d", "Newer", false, false),
                summaryevent(QStringLiteral("demo"), summary)});
    QStringList states;
    for (int i = 0; i < model.rowCount(); ++i) states << model.row(i).state;
    QCOMPARE(states, (QStringList{"Conflict", "Newer on host", "Newer on host", "Modified"}));
    QCOMPARE(summaryline(model, "download"),
             QStringLiteral("2 downloaded, 1 left for the next run. Run download again to move the rest"));
  }

  // The README's pictures, when asked for.
  void screenshots() {
    if (!qEnvironmentVariableIsSet("TROSK_SCREENSHOTS")) QSKIP("TROSK_SCREENSHOTS not set");
    Workbench bench(work_);
    QString dir = qEnvironmentVariable("TROSK_SCREENSHOTS");
    bench.window.resize(800, 600);
    QVERIFY(bench.run("status"));
    QVERIFY(bench.window.grab().save(dir + "/trosk-gui-800.png"));
    bench.answers = {"y"};
    bench.window.resize(1280, 1024);
    QVERIFY(bench.run("download"));
    QVERIFY(bench.window.grab().save(dir + "/trosk-gui-1280.png"));
  }
};

TROSK_GUI_TEST(ViewsTest);

}  // namespace trosk::testing

#include "views_test.moc"
