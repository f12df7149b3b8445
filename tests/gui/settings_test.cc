// The settings dialog: what it saves goes into the project list through the
// list's writer and comes back when the dialog opens again; the settings
// the list does not store stay with the window for the session and go into
// each command; a bad value is refused with the command line's message.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "guitest.h"
#include "testing/testing.h"
#include "workbench.h"

namespace trosk::testing {
namespace {

void type(QWidget* dialog, const char* field, const QString& text) {
  auto* edit = dialog->findChild<QLineEdit*>(QString::fromLatin1(field));
  edit->clear();
  QTest::keyClicks(edit, text);
}

QString field(QWidget* dialog, const char* name) {
  return dialog->findChild<QLineEdit*>(QString::fromLatin1(name))->text();
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

}  // namespace

class SettingsTest : public QObject {
  Q_OBJECT

 private slots:
  void savedandreadback() {
    ScratchDir scratch;
    std::filesystem::path work = scratch.path / "work";  // not the process's directory
    std::filesystem::create_directories(work);
    Workbench bench(work);
    QWidget* dialog = opendemo(bench);
    QVERIFY(dialog);
    type(dialog, "host", QStringLiteral("/srv/hosts"));
    type(dialog, "user", QStringLiteral("tom"));
    type(dialog, "remotedir", QStringLiteral("projects"));
    type(dialog, "suffix", QStringLiteral(".x"));
    type(dialog, "port", QStringLiteral("8080"));
    type(dialog, "access", QStringLiteral("dG9tOnNlY3JldA=="));
    type(dialog, "prompt", QStringLiteral("0"));
    type(dialog, "version", QStringLiteral("2/3"));
    QTest::mouseClick(dialog->findChild<QCheckBox*>("source"), Qt::LeftButton);
    QTest::mouseClick(dialog->findChild<QCheckBox*>("backup"), Qt::LeftButton);
    dialog->findChild<QComboBox*>("release")->setCurrentIndex(2);
    QCOMPARE(dialog->findChild<QLineEdit*>("access")->echoMode(), QLineEdit::Password);
    bench.answers = {QStringLiteral("y")};
    ok(dialog);

    QCOMPARE(bench.questions, QStringList{"Save local settings in: trosk_project.xml (y/n)?"});
    QVERIFY(!std::filesystem::exists(scratch.path / "trosk_project.xml"));
    std::string list = readfile(work / "trosk_project.xml");
    for (const char* stored : {"<name>demo</name>", "<host>/srv/hosts</host>", "<user>tom</user>",
                               "<troskdir>projects</troskdir>", "<suffix>.x</suffix>",
                               "<status>source</status>", "<release>beta</release>",
                               "<backup>0</backup>"}) {
      QVERIFY2(list.find(stored) != std::string::npos, stored);
    }
    QVERIFY(list.find("dG9tOnNlY3JldA==") == std::string::npos);  // a credential is not written
    QVERIFY(bench.find<QPushButton>("upload")->isEnabled());

    QTest::mouseClick(bench.find<QPushButton>("settings"), Qt::LeftButton);
    dialog = bench.waitfor("settings");
    QVERIFY(dialog);
    QCOMPARE(field(dialog, "host"), QStringLiteral("/srv/hosts"));
    QCOMPARE(field(dialog, "suffix"), QStringLiteral(".x"));
    QCOMPARE(field(dialog, "port"), QStringLiteral("8080"));
    QCOMPARE(field(dialog, "access"), QStringLiteral("dG9tOnNlY3JldA=="));
    QVERIFY(dialog->findChild<QCheckBox*>("source")->isChecked());
    QVERIFY(!dialog->findChild<QCheckBox*>("backup")->isChecked());
    QCOMPARE(dialog->findChild<QComboBox*>("release")->currentText(), QStringLiteral("beta"));
    QTest::mouseClick(dialog->findChild<QPushButton*>("cancel"), Qt::LeftButton);

    // The session's settings go into the command; the host is not there, so it ends in an error.
    QVERIFY(bench.run("status"));
    QCOMPARE(bench.find<QLabel>("command")->text(),
             QStringLiteral("Command: trosk demo -status -port 8080 -prompt 0 -version 2/3 "
                            "-access dG9tOnNlY3JldA=="));
  }

  void badvaluerefused_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("alert");
    QTest::newRow("port") << "port" << "70000" << "TROSK error -- invalid port number: 70000";
    QTest::newRow("version") << "version" << "0" << "TROSK error -- invalid version number: 0";
    QTest::newRow("host") << "host" << "-h" << "TROSK error -- missing hostname";
  }

  void badvaluerefused() {
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(QString, alert);
    ScratchDir scratch;
    Workbench bench(scratch.path);
    QWidget* dialog = opendemo(bench);
    QVERIFY(dialog);
    type(dialog, field.toLatin1().constData(), value);
    ok(dialog);
    QCOMPARE(bench.alerts, QStringList{alert});
    QVERIFY(dialog->isVisible());  // stays open for a better value
    QVERIFY(bench.questions.isEmpty());
    QVERIFY(!std::filesystem::exists(scratch.path / "trosk_project.xml"));
    QTest::mouseClick(dialog->findChild<QPushButton*>("cancel"), Qt::LeftButton);
  }
};

TROSK_GUI_TEST(SettingsTest);

}  // namespace trosk::testing

#include "settings_test.moc"
