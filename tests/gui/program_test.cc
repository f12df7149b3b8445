// The program as a whole: without a display it says so in one line and exits
// 2; Help shows the command line's help text and About the banner's version;
// a status of many files keeps the window responsive and moves the bar, and
// its long output opens whole.
#include <sys/wait.h>

#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProgressBar>
#include <QTest>
#include <QTableView>
#include <QTimer>
#include <cstdlib>
#include <memory>
#include <set>

#include "consolerun.h"
#include "gui/filelist.h"
#include "guitest.h"
#include "testing/testing.h"
#include "workbench.h"

namespace trosk::testing {
namespace {

namespace fs = std::filesystem;

constexpr int kManyFiles = 10000;

// A scratch directory in memory where there is a memory file system:
// removing thousands of files from a disk can take minutes.
std::unique_ptr<ScratchDir> memoryscratch() {
  QByteArray tmpdir = qgetenv("TMPDIR");
  if (fs::is_directory("/dev/shm")) qputenv("TMPDIR", "/dev/shm");
  auto scratch = std::make_unique<ScratchDir>();
  qputenv("TMPDIR", tmpdir);
  if (tmpdir.isNull()) qunsetenv("TMPDIR");
  return scratch;
}

// Runs the program with `environment` settings in front; returns the exit
// code and the lines it wrote on standard error.
int rungui(const std::string& environment, QStringList* errors) {
  ScratchDir scratch;
  std::string command = "env " + environment + " '" TROSK_GUI_BINARY "' . 2>err.txt >/dev/null";
  int status = std::system(command.c_str());
  *errors = QString::fromStdString(readfile("err.txt")).split('\n', Qt::SkipEmptyParts);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

class ProgramTest : public QObject {
  Q_OBJECT

 private slots:
  void nodisplay() {
    QStringList errors;
    QCOMPARE(rungui("-u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM", &errors), 2);
    QCOMPARE(errors.size(), 1);
    QVERIFY(errors[0].startsWith("trosk-gui: no display"));
    // A display that cannot be opened ends the same way, without an abort.
    QCOMPARE(rungui("-u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=:7431", &errors), 2);
    QVERIFY(!errors.isEmpty() && errors.last().startsWith("trosk-gui: "));
  }

  void helpandabout() {
    ScratchDir scratch;
    Workbench bench(scratch.path);
    QTest::mouseClick(bench.find<QPushButton>("help"), Qt::LeftButton);
    QCOMPARE(bench.helps.size(), 1);
    QVERIFY(bench.helps.last().startsWith("The Trosk window"));
    QTest::mouseClick(bench.find<QPushButton>("about"), Qt::LeftButton);
    QCOMPARE(bench.alerts, QStringList{"Trosk -- Version 1.19"});
  }

  void manyfiles() {
    std::unique_ptr<ScratchDir> scratch = memoryscratch();
    fs::path host = scratch->path / "host", work = scratch->path / "work";
    fs::create_directories(host / "trosk");
    std::vector<std::string> add{"many", "-source", "-host", host.string(), "-prompt", "0", "-add"};
    for (int i = 0; i < kManyFiles; ++i) {
      std::string name = "d" + std::to_string(i / 1000) + "/f" + std::to_string(i) + ".txt";
      writefile(work / name, name + "\n");
      add.push_back(name);
    }
    QCOMPARE(runtrosk(work, add, lines({"many files", "y"})), 0);

    Workbench bench(work);
    bench.find<QLineEdit>("options")->setText(QStringLiteral("-status 1"));  // every file listed
    bench.find<QComboBox>("filter")->setCurrentIndex(0);  // all files
    std::set<int> shown;
    connect(&bench.frontend, &WindowFrontend::progressed, &bench.window, [&](int percent) {
      if (percent >= 0) shown.insert(bench.find<QProgressBar>("progress")->value());
    });
    // The GUI thread keeps running while the command runs (its button
    // stays disabled until the end), the rows arriving in between.
    int ticks = 0;
    qint64 longest = 0, last = 0;
    QElapsedTimer since;
    since.start();
    QPushButton* status = bench.find<QPushButton>("status");
    QTimer clock;
    connect(&clock, &QTimer::timeout, [&] {
      ticks += status->isEnabled() ? 0 : 1;
      longest = std::max(longest, since.elapsed() - last);
      last = since.elapsed();
    });
    clock.start(5);
    QVERIFY(bench.run("status"));
    QVERIFY2(shown.size() >= 50, qPrintable(QString::number(shown.size())));
    // A command run on the GUI thread would leave no tick while the button
    // is disabled; how many there are depends on how quick the status is.
    QVERIFY2(ticks >= 1, qPrintable(QString::number(ticks)));
    QVERIFY2(longest < 1000, qPrintable(QString::number(longest)));
    QCOMPARE(bench.window.files().rowCount(), kManyFiles);
    QCOMPARE(bench.find<QTableView>("files")->model()->rowCount(), kManyFiles);
    QVERIFY(bench.outputs.last().count('\n') > kManyFiles);
  }
};

TROSK_GUI_TEST(ProgramTest);

}  // namespace trosk::testing

#include "program_test.moc"
