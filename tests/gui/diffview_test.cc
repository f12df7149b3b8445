// The difference view on its own: three changes stepped through by button and
// key from the current row, stopping at either end; each column names whose
// copy it shows; without copies to lay out, the note is shown.
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include "guitest.h"
#include "gui/diffview.h"

namespace trosk::testing {

class DiffViewTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  // Against the local copy: the second line changed, the fifth removed, a
  // tenth added.
  QString local_, host_;

  QString write(const QString& name, const QByteArray& bytes) {
    const QString path = dir_.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) return {};
    return path;
  }

  static QAbstractItemModel* lines(DiffView& view) { return view.findChild<QTableView*>("lines")->model(); }
  static QString header(DiffView& view, int column) {
    return lines(view)->headerData(column, Qt::Horizontal).toString();
  }
  static QString position(DiffView& view) { return view.findChild<QLabel*>("position")->text(); }
  static QPushButton* button(DiffView& view, const char* name) { return view.findChild<QPushButton*>(name); }
  static void click(DiffView& view, const char* name) { QTest::mouseClick(button(view, name), Qt::LeftButton); }

 private slots:
  void initTestCase() {
    local_ = write("local.txt", "one\ntwo\nthree\nfour\nfive\nsix\n\tseven\neight\nnine\n");
    host_ = write("host.txt", "one\nTWO\nthree\nfour\nsix\n\tseven\neight\nnine\nten\n");
    QVERIFY(!local_.isEmpty() && !host_.isEmpty());
  }

  void stepsthroughchanges() {
    DiffView view("notes.txt", "--- notes.txt (local)\n", local_, host_, false, nullptr);
    view.show();
    QVERIFY(QTest::qWaitForWindowActive(&view));
    QCOMPARE(view.windowTitle(), QString("Trosk differences: notes.txt"));
    QCOMPARE(view.text(), QString("--- notes.txt (local)\n"));
    QCOMPARE(header(view, 1), QString("notes.txt (local)"));
    QCOMPARE(header(view, 3), QString("notes.txt (host)"));
    QCOMPARE(view.changes(), 3);
    // It opens at the first change.
    QCOMPARE(view.currentchange(), 1);
    QCOMPARE(position(view), QString("Change 1 of 3"));
    QVERIFY(!button(view, "previous")->isEnabled());
    const QString shots = qEnvironmentVariable("TROSK_SCREENSHOTS");
    if (!shots.isEmpty()) QVERIFY(view.grab().save(QDir(shots).filePath("diffview.png")));

    click(view, "next");
    click(view, "next");
    QCOMPARE(view.currentchange(), 3);
    QVERIFY(!button(view, "next")->isEnabled());
    QTest::keyClick(&view, Qt::Key_F7);
    QCOMPARE(view.currentchange(), 3);
    QTest::keyClick(&view, Qt::Key_F7, Qt::ShiftModifier);
    QCOMPARE(view.currentchange(), 2);
    QCOMPARE(position(view), QString("Change 2 of 3"));
    click(view, "previous");
    click(view, "previous");
    QCOMPARE(view.currentchange(), 1);

    // From a row between the second and the third change.
    auto* table = view.findChild<QTableView*>("lines");
    table->setCurrentIndex(lines(view)->index(6, 1));
    QCOMPARE(view.currentchange(), 0);
    QCOMPARE(position(view), QString("3 changes"));
    QTest::keyClick(&view, Qt::Key_F7);
    QCOMPARE(view.currentchange(), 3);

    // The removed line is coloured on the left, the added one on the right,
    // in colours of their own; a common line is not.
    const QVariant removed = lines(view)->index(4, 1).data(Qt::BackgroundRole);
    const QVariant added = lines(view)->index(9, 3).data(Qt::BackgroundRole);
    QVERIFY(removed.isValid() && added.isValid() && removed != added);
    QVERIFY(!lines(view)->index(0, 1).data(Qt::BackgroundRole).isValid());
  }

  void uploadputsthehostonleft() {
    DiffView view("notes.txt", "diff", local_, host_, true, nullptr);
    QCOMPARE(header(view, 1), QString("notes.txt (host)"));
    QCOMPARE(header(view, 3), QString("notes.txt (local)"));
    QVERIFY(view.findChild<QLabel*>("sides")->text().startsWith("Uploading replaces the host's copy"));
    QCOMPARE(view.changes(), 3);
  }

  void samecopies() {
    DiffView view("notes.txt", "No line differences in notes.txt\n", local_, local_, false, nullptr);
    QCOMPARE(view.changes(), 0);
    QCOMPARE(position(view), QString("No line differences"));
    QVERIFY(!button(view, "next")->isEnabled());
  }

  void noteinstead() {
    const QString binary = "Binary files a.bin (local) and a.bin (host) differ\n";
    DiffView note("a.bin", binary, "", "", false, nullptr);
    QCOMPARE(note.findChild<QPlainTextEdit*>("note")->toPlainText(), binary);
    QVERIFY(!note.findChild<QTableView*>());
    QCOMPARE(note.changes(), 0);

    // A copy gone since the run read it.
    DiffView gone("notes.txt", "--- notes.txt (local)\n", dir_.filePath("gone.txt"), host_, false, nullptr);
    QCOMPARE(gone.findChild<QPlainTextEdit*>("note")->toPlainText(), QString("--- notes.txt (local)\n"));
  }
};

TROSK_GUI_TEST(DiffViewTest);

}  // namespace trosk::testing

#include "diffview_test.moc"
