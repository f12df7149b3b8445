// The window against a web host behind nginx with Basic authorisation: a
// wrong credential ends the command with the error's alert and the next
// command works; Cancel in the middle of a large download stops it without
// an error, keeps the old file and leaves no temporary file.
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QPushButton>
#include <QTest>
#include <chrono>
#include <memory>

#include "consolerun.h"
#include "gui/filelist.h"
#include "core/tempfile.h"
#include "guitest.h"
#include "net/nginx.h"
#include "testing/testing.h"
#include "workbench.h"

namespace trosk::testing {
namespace {

namespace fs = std::filesystem;

std::string credential(const char* userpassword) {
  return QByteArray(userpassword).toBase64().toStdString();
}

// Sets the project's host, login and password in the settings dialog and saves them.
bool setup(Workbench& bench, const std::string& host, const char* login, const char* password) {
  QTest::mouseClick(bench.find<QPushButton>("settings"), Qt::LeftButton);
  QWidget* dialog = bench.waitfor("settings");
  if (!dialog) return false;
  auto set = [dialog](const char* field, const QString& text) {
    dialog->findChild<QLineEdit*>(QString::fromLatin1(field))->setText(text);
  };
  set("host", QString::fromStdString(host));
  set("login", QString::fromUtf8(login));
  set("password", QString::fromUtf8(password));
  bench.answers.push_back(QStringLiteral("y"));
  QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("ok")), Qt::LeftButton);
  return bench.answers.empty() && !dialog->isVisible();
}

bool temporaryleft(const fs::path& dir) {
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    if (tempowner(e.path().filename().string()) >= 0) return true;
  }
  return false;
}

}  // namespace

class HttpTest : public QObject {
  Q_OBJECT

  std::unique_ptr<ScratchDir> scratch_;
  std::unique_ptr<Nginx> web_;

 private slots:
  void initTestCase() {
    scratch_ = std::make_unique<ScratchDir>();
    fs::path host = scratch_->path / "host", src = scratch_->path / "src";
    fs::create_directories(host / "trosk");
    writefile(src / "small.txt", "small\n");
    std::string big;
    for (int line = 0; line < 600000; ++line) big += "line " + std::to_string(line) + " of a large file\n";
    writefile(src / "big.dat", big);
    QCOMPARE(runtrosk(src, {"web", "-source", "-host", host.string(), "-add", "small.txt", "big.dat"},
                      lines({"start", "n"})),
             0);
    web_ = std::make_unique<Nginx>(scratch_->path, host, "tom", "secret");
    QCOMPARE(web_->error, std::string());
  }

  void cleanupTestCase() {
    web_.reset();
    scratch_.reset();
  }

  void wrongcredential() {
    fs::path work = scratch_->path / "credential";
    fs::create_directories(work);
    Workbench bench(work);
    QTest::keyClicks(bench.find<QLineEdit>("newproject"), QStringLiteral("web"));
    QVERIFY(setup(bench, web_->host(), "tom", "wrong"));
    bench.answers = {QStringLiteral("y")};
    QVERIFY(bench.run("status"));
    QCOMPARE(bench.alerts.size(), 1);
    QVERIFY2(bench.alerts[0].startsWith("TROSK error -- "), qPrintable(bench.alerts[0]));
    QVERIFY(bench.find<QPushButton>("status")->isEnabled());
    // The error and its cause stay in view, in the window's words.
    QString result = bench.find<QLabel>("result")->text();
    QVERIFY2(result.startsWith("Failed: TROSK error -- ") &&
                 result.contains("HTTP 401") && result.contains("Login name and Password in Settings"),
             qPrintable(result));

    QVERIFY(setup(bench, web_->host(), "tom", "secret"));
    bench.answers = {QStringLiteral("y")};
    QVERIFY(bench.run("status"));
    QCOMPARE(bench.alerts.size(), 1);
    QVERIFY2(bench.outputs.last().contains("Missing: big.dat"), qPrintable(bench.outputs.last()));
    QCOMPARE(bench.window.files().rowCount(), 2);

    // The credential is nowhere to be read: not in the window, the files
    // of the working directory (output file, project list) or the store of
    // what the window remembers.
    QStringList secrets{"secret", QString::fromStdString(credential("tom:secret"))};
    for (QLabel* label : bench.window.findChildren<QLabel*>()) {
      for (const QString& secret : secrets) QVERIFY2(!label->text().contains(secret), qPrintable(label->text()));
    }
    QSettings store;
    store.sync();
    std::vector<fs::path> files{fs::path(store.fileName().toStdString())};
    for (const auto& e : fs::recursive_directory_iterator(work)) files.push_back(e.path());
    for (const fs::path& file : files) {
      if (!fs::is_regular_file(file)) continue;
      std::string text = readfile(file);
      for (const QString& secret : secrets) {
        QVERIFY2(text.find(secret.toStdString()) == std::string::npos, file.c_str());
      }
    }
  }

  void cancellargedownload() {
    fs::path work = scratch_->path / "cancel";
    fs::create_directories(work);
    std::string token = credential("tom:secret");
    QCOMPARE(runtrosk(work, {"web", "-host", web_->host(), "-access", token, "-download"},
                      lines({"y", "y", "y"})),
             0);
    std::string old = readfile(work / "big.dat") + "a local line\n";
    writefile(work / "big.dat", old);
    fs::last_write_time(work / "big.dat", fs::file_time_type::clock::now() + std::chrono::hours(1));

    Workbench bench(work);
    bench.find<QLineEdit>("options")->setText(QString::fromStdString("-access " + token));
    bench.answers = {QStringLiteral("y"), QStringLiteral("y"), QStringLiteral("y")};
    // Holds the worker at each step of the bar until the window has seen it,
    // so that Cancel lands in the middle of the transfer however fast it runs.
    bool clicked = false;
    auto* cancel = bench.find<QPushButton>("cancel");
    connect(
        &bench.frontend, &WindowFrontend::progressed, &bench.window,
        [&](int percent) {
          bool transfer = bench.find<QLabel>("caption")->text() == QLatin1String("Downloading: big.dat");
          if (clicked || !transfer || percent <= 10 || percent >= 90 || !cancel->isEnabled()) return;
          QTest::mouseClick(cancel, Qt::LeftButton);
          clicked = true;
        },
        Qt::BlockingQueuedConnection);
    QVERIFY(bench.run("download"));
    QVERIFY(clicked);
    QVERIFY2(bench.unanswered == 0 && bench.answers.empty(), qPrintable(bench.questions.join('|')));
    QVERIFY2(bench.alerts.isEmpty(), qPrintable(bench.alerts.join('|')));  // a stop asked for is no error
    QVERIFY2(bench.outputs.last().contains(
                 "Transfer cancelled: 0 files transferred, the others left as they were\n"),
             qPrintable(bench.outputs.last()));
    QVERIFY(readfile(work / "big.dat") == old);
    QVERIFY(!temporaryleft(work));
  }
};

TROSK_GUI_TEST(HttpTest);

}  // namespace trosk::testing

#include "http_test.moc"
