// The question dialogs on their own: each of the five buttons and its key
// (with or without Shift) gives its letter, Escape answers no, a question
// shows only the buttons of its letters and names its project; the text
// question keeps at most 131 characters after OK and gives nothing after
// Cancel; a host key is trusted only by its button.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "guitest.h"
#include "gui/questiondialog.h"

namespace trosk::testing {
namespace {

const Question kUpdate{QStringLiteral("Update local file <a.txt> (y/n/AllYes/diff)? "),
                       QStringLiteral("ynYNAXd"), QString()};
const Question kSave{QStringLiteral("Save local settings in: trosk_project.xml (y/n)? "),
                     QStringLiteral("ynYN"), QStringLiteral("demo")};
const Question kComment{QStringLiteral("Add comment: "), QString(), QString()};

}  // namespace

class DialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void buttonsandkeys_data() {
    QTest::addColumn<QString>("letter");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("shift");
    QTest::newRow("yes") << "y" << int(Qt::Key_Y) << false;
    QTest::newRow("no") << "n" << int(Qt::Key_N) << false;
    QTest::newRow("yes to all") << "A" << int(Qt::Key_A) << true;
    QTest::newRow("no to all") << "X" << int(Qt::Key_X) << false;
    QTest::newRow("diff") << "d" << int(Qt::Key_D) << true;
  }

  void buttonsandkeys() {
    QFETCH(QString, letter);
    QFETCH(int, key);
    QFETCH(bool, shift);
    QuestionDialog clicked(kUpdate, nullptr);
    clicked.show();
    QTest::mouseClick(clicked.findChild<QPushButton*>(letter), Qt::LeftButton);
    QCOMPARE(clicked.answer(), letter);
    QVERIFY(!clicked.isVisible());

    QuestionDialog typed(kUpdate, nullptr);
    typed.show();
    QVERIFY(QTest::qWaitForWindowActive(&typed));
    QTest::keyClick(&typed, static_cast<Qt::Key>(key), shift ? Qt::ShiftModifier : Qt::NoModifier);
    QTRY_VERIFY(!typed.isVisible());  // a key clicks its button a moment later, as a person sees it
    QCOMPARE(typed.answer(), letter);
  }

  void escapeanswersno() {
    QuestionDialog dialog(kSave, nullptr);
    dialog.show();
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QCOMPARE(dialog.answer(), QStringLiteral("n"));
    QVERIFY(!dialog.isVisible());
  }

  // A button outside the question's letters would count as yes.
  void onlyitsletters() {
    QuestionDialog yesno(kSave, nullptr);
    QStringList shown;
    for (QPushButton* b : yesno.findChildren<QPushButton*>()) shown << b->objectName();
    shown.sort();
    QCOMPARE(shown, (QStringList{"n", "y"}));
    QCOMPARE(yesno.findChild<QLabel*>("questionproject")->text(), QStringLiteral("Project: <b>demo</b>"));
    yesno.show();
    QVERIFY(QTest::qWaitForWindowActive(&yesno));
    QTest::keyClick(&yesno, Qt::Key_D);  // no Diff here: the key does nothing
    QVERIFY(yesno.isVisible());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);  // the focus starts on No
    QCOMPARE(yesno.answer(), QStringLiteral("n"));
  }

  // A key is trusted only by choice: Enter and Escape refuse it.
  void trustkey() {
    const QString print(64, 'a');
    TrustKeyDialog first(QStringLiteral("demo"), print, QString(), nullptr);
    QCOMPARE(first.findChild<QLabel*>("fingerprint")->text(),
             QStringLiteral("aaaaaaaa aaaaaaaa aaaaaaaa aaaaaaaa\naaaaaaaa aaaaaaaa aaaaaaaa aaaaaaaa"));
    QVERIFY(!first.findChild<QLabel*>("trusted"));
    first.show();
    QVERIFY(QTest::qWaitForWindowActive(&first));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(first.result(), int(QDialog::Rejected));

    TrustKeyDialog changed(QStringLiteral("demo"), print, QString(64, 'b'), nullptr);
    QVERIFY(changed.findChild<QLabel*>("trusted")->text().startsWith("bbbbbbbb"));
    changed.show();
    QVERIFY(QTest::qWaitForWindowActive(&changed));
    QTest::keyClick(&changed, Qt::Key_Escape);
    QCOMPARE(changed.result(), int(QDialog::Rejected));
    changed.show();
    QTest::mouseClick(changed.findChild<QPushButton*>("trust"), Qt::LeftButton);
    QCOMPARE(changed.result(), int(QDialog::Accepted));
  }

  void textquestion() {
    TextQuestionDialog ok(kComment, nullptr);
    ok.show();
    QTest::keyClicks(ok.findChild<QLineEdit*>("answer"), QString(200, 'w'));
    QTest::mouseClick(ok.findChild<QPushButton*>("ok"), Qt::LeftButton);
    QCOMPARE(ok.answer(), QString(131, 'w'));

    TextQuestionDialog cancelled(kComment, nullptr);
    cancelled.show();
    QTest::keyClicks(cancelled.findChild<QLineEdit*>("answer"), QStringLiteral("typed"));
    QTest::mouseClick(cancelled.findChild<QPushButton*>("cancel"), Qt::LeftButton);
    QCOMPARE(cancelled.answer(), QString());
  }
};

TROSK_GUI_TEST(DialogsTest);

}  // namespace trosk::testing

#include "dialogs_test.moc"
