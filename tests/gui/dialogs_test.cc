// The question dialogs on their own: each of the five buttons and its key
// (with or without Shift) gives its letter, Escape answers no; the text question keeps at most 131
// characters after OK and gives nothing after Cancel.
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "guitest.h"
#include "gui/questiondialog.h"

namespace trosk::testing {

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
    QuestionDialog clicked(QStringLiteral("Update local file <a.txt> (y/n/AllYes/diff)? "), nullptr);
    clicked.show();
    QTest::mouseClick(clicked.findChild<QPushButton*>(letter), Qt::LeftButton);
    QCOMPARE(clicked.answer(), letter);
    QVERIFY(!clicked.isVisible());

    QuestionDialog typed(QStringLiteral("Update local file <a.txt> (y/n/AllYes/diff)? "), nullptr);
    typed.show();
    QVERIFY(QTest::qWaitForWindowActive(&typed));
    QTest::keyClick(&typed, static_cast<Qt::Key>(key), shift ? Qt::ShiftModifier : Qt::NoModifier);
    QTRY_VERIFY(!typed.isVisible());  // a key clicks its button a moment later, as a person sees it
    QCOMPARE(typed.answer(), letter);
  }

  void escapeanswersno() {
    QuestionDialog dialog(QStringLiteral("Save local settings in: trosk_project.xml (y/n)? "), nullptr);
    dialog.show();
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QCOMPARE(dialog.answer(), QStringLiteral("n"));
    QVERIFY(!dialog.isVisible());
  }

  void textquestion() {
    TextQuestionDialog ok(QStringLiteral("Add comment: "), nullptr);
    ok.show();
    QTest::keyClicks(ok.findChild<QLineEdit*>("answer"), QString(200, 'w'));
    QTest::mouseClick(ok.findChild<QPushButton*>("ok"), Qt::LeftButton);
    QCOMPARE(ok.answer(), QString(131, 'w'));

    TextQuestionDialog cancelled(QStringLiteral("Add comment: "), nullptr);
    cancelled.show();
    QTest::keyClicks(cancelled.findChild<QLineEdit*>("answer"), QStringLiteral("typed"));
    QTest::mouseClick(cancelled.findChild<QPushButton*>("cancel"), Qt::LeftButton);
    QCOMPARE(cancelled.answer(), QString());
  }
};

TROSK_GUI_TEST(DialogsTest);

}  // namespace trosk::testing

#include "dialogs_test.moc"
