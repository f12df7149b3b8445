// The settings dialog: what it saves goes into the project list through the
// list's writer and comes back when the dialog opens again; the settings
// the list does not store stay with the window for the session and go into
// each command, the password as part of a credential that is never written
// or shown; a bad value is refused inside the dialog, on its field.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "gui/settingsdialog.h"
#include "guitest.h"
#include "testing/testing.h"
#include "workbench.h"

namespace trosk::testing {
namespace {

namespace fs = std::filesystem;

constexpr const char* kCredential = "dG9tOnNlY3JldA==";  // Base64 of "tom:secret"

QLineEdit* edit(QWidget* dialog, const char* name) {
  return dialog->findChild<QLineEdit*>(QString::fromLatin1(name));
}

void type(QWidget* dialog, const char* field, const QString& text) {
  edit(dialog, field)->clear();
  QTest::keyClicks(edit(dialog, field), text);
}

// Opens the settings of a project "demo" that is not listed yet.
QWidget* opendemo(Workbench& bench) {
  QTest::keyClicks(bench.find<QLineEdit>("newproject"), QStringLiteral("demo"));
  QTest::mouseClick(bench.find<QPushButton>("settings"), Qt::LeftButton);
  return bench.waitfor("settings");
}

void ok(QWidget* dialog) {
  QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("ok")), Qt::LeftButton);
}

std::vector<std::string> words(QWidget* dialog) {
  SessionOptions session = qobject_cast<SettingsDialog*>(dialog)->settings().session;
  return commandwords(Command::kStatus, "demo", session);
}

// The first file under `dir` that holds `secret`, or an empty path.
fs::path holding(const fs::path& dir, const std::string& secret) {
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    bool holds = e.is_regular_file() && readfile(e.path()).find(secret) != std::string::npos;
    if (holds) return e.path();
  }
  return {};
}

}  // namespace

class SettingsTest : public QObject {
  Q_OBJECT

 private slots:
  void savedandreadback() {
    ScratchDir scratch;
    fs::path work = scratch.path / "work";  // not the process's directory
    fs::create_directories(work);
    Workbench bench(work);
    QWidget* dialog = opendemo(bench);
    QVERIFY(dialog);
    type(dialog, "host", QStringLiteral("/srv/hosts"));
    type(dialog, "user", QStringLiteral("tom"));
    type(dialog, "remotedir", QStringLiteral("projects"));
    type(dialog, "suffix", QStringLiteral(".x"));
    type(dialog, "port", QStringLiteral("8080"));
    type(dialog, "login", QStringLiteral("tom"));
    type(dialog, "password", QStringLiteral("secret"));
    type(dialog, "version", QStringLiteral("2/3"));
    dialog->findChild<QComboBox*>("prompt")->setCurrentIndex(1);
    QTest::mouseClick(dialog->findChild<QCheckBox*>("source"), Qt::LeftButton);
    QTest::mouseClick(dialog->findChild<QCheckBox*>("backup"), Qt::LeftButton);
    dialog->findChild<QComboBox*>("release")->setCurrentIndex(2);
    QCOMPARE(edit(dialog, "password")->echoMode(), QLineEdit::Password);
    bench.answers = {QStringLiteral("y")};
    ok(dialog);

    QCOMPARE(bench.questions, QStringList{"Save local settings in: trosk_project.xml (y/n)?"});
    QVERIFY(!fs::exists(scratch.path / "trosk_project.xml"));
    std::string list = readfile(work / "trosk_project.xml");
    for (const char* stored : {"<name>demo</name>", "<host>/srv/hosts</host>", "<user>tom</user>",
                               "<troskdir>projects</troskdir>", "<suffix>.x</suffix>",
                               "<status>source</status>", "<release>beta</release>",
                               "<backup>0</backup>"}) {
      QVERIFY2(list.find(stored) != std::string::npos, stored);
    }
    QVERIFY(bench.find<QPushButton>("upload")->isEnabled());

    QTest::mouseClick(bench.find<QPushButton>("settings"), Qt::LeftButton);
    dialog = bench.waitfor("settings");
    QVERIFY(dialog);
    QCOMPARE(edit(dialog, "host")->text(), QStringLiteral("/srv/hosts"));
    QCOMPARE(edit(dialog, "suffix")->text(), QStringLiteral(".x"));
    QCOMPARE(edit(dialog, "port")->text(), QStringLiteral("8080"));
    QCOMPARE(edit(dialog, "login")->text(), QStringLiteral("tom"));
    QCOMPARE(edit(dialog, "password")->echoMode(), QLineEdit::Password);  // kept, and masked
    QVERIFY(dialog->findChild<QCheckBox*>("source")->isChecked());
    QVERIFY(!dialog->findChild<QCheckBox*>("backup")->isChecked());
    QCOMPARE(dialog->findChild<QComboBox*>("release")->currentText(), QStringLiteral("beta"));
    QCOMPARE(words(dialog), (std::vector<std::string>{"trosk", "demo", "-status", "-port", "8080",
                                                      "-prompt", "0", "-version", "2/3", "-access",
                                                      kCredential}));
    QTest::mouseClick(dialog->findChild<QPushButton*>("cancel"), Qt::LeftButton);

    // The host is not there, so the command ends in an error; what it leaves holds no secret.
    QVERIFY(bench.run("status"));
    QCOMPARE(bench.find<QLabel>("command")->text(),
             QStringLiteral("Command: trosk demo -status -port 8080 -prompt 0 -version 2/3 "
                            "-access ********"));
    for (const char* secret : {"secret", kCredential}) QCOMPARE(holding(work, secret), fs::path());
  }

  void defaultsgivenowords() {
    ScratchDir scratch;
    Workbench bench(scratch.path);
    QWidget* dialog = opendemo(bench);
    QVERIFY(dialog);
    QCOMPARE(edit(dialog, "port")->placeholderText(), QStringLiteral("80 (443 for https)"));
    QCOMPARE(edit(dialog, "remotedir")->placeholderText(), QStringLiteral("trosk"));
    QCOMPARE(words(dialog), (std::vector<std::string>{"trosk", "demo", "-status"}));
    QTest::mouseClick(dialog->findChild<QPushButton*>("cancel"), Qt::LeftButton);
  }

  void credentialmasked() {
    SessionOptions options;
    options.login = "tom";
    options.password = "secret";
    options.more = "-acc typed -ACCESS -verbose";
    std::vector<std::string> command = commandwords(Command::kStatus, "demo", options);
    QCOMPARE(command[4], std::string(kCredential));
    QCOMPARE(shownwords(command), std::string("trosk demo -status -access ******** -acc ******** "
                                              "-ACCESS -verbose"));
  }

  void uploadneedsdirectpath() {
    ProjectSettings p;
    p.source = true;
    p.host = "https://example.org/hosts";
    QVERIFY(!canupload(p));
    p.host2 = "/srv/hosts";
    QVERIFY(canupload(p));
    p.host = "./hosts";
    p.host2.clear();
    QVERIFY(canupload(p));
    p.source = false;
    QVERIFY(!canupload(p));
  }

  void badvaluerefused_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::newRow("port too large") << "port" << "70000";
    QTest::newRow("port not a number") << "port" << "8o";
    QTest::newRow("version 0") << "version" << "0";
    QTest::newRow("subversion not a number") << "version" << "2/x";
    QTest::newRow("host like an option") << "host" << "-h";
    QTest::newRow("login with a colon") << "login" << "tom:x";
  }

  void badvaluerefused() {
    QFETCH(QString, field);
    QFETCH(QString, value);
    ScratchDir scratch;
    Workbench bench(scratch.path);
    QWidget* dialog = opendemo(bench);
    QVERIFY(dialog);
    type(dialog, field.toLatin1().constData(), value);
    ok(dialog);
    QVERIFY(dialog->isVisible());  // stays open for a better value
    QLineEdit* bad = edit(dialog, field.toLatin1().constData());
    QVERIFY(bad->property("problem").toBool());
    QCOMPARE(dialog->focusWidget(), bad);
    auto* problem = dialog->findChild<QLabel*>("problem");
    QVERIFY(problem->isVisible() && !problem->text().isEmpty());
    QVERIFY(bench.alerts.isEmpty() && bench.questions.isEmpty());
    QVERIFY(!fs::exists(scratch.path / "trosk_project.xml"));
    QTest::mouseClick(dialog->findChild<QPushButton*>("cancel"), Qt::LeftButton);
  }
};

TROSK_GUI_TEST(SettingsTest);

}  // namespace trosk::testing

#include "settings_test.moc"
