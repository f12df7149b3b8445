#include "workbench.h"

#include <QApplication>
#include <QFile>
#include <QTextBrowser>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>

#include "gui/diffview.h"
#include "gui/textviewer.h"

namespace trosk::testing {
namespace {

constexpr int kRunTimeoutMs = 300000;

void click(QWidget* dialog, const QString& button) {
  QPushButton* b = dialog->findChild<QPushButton*>(button);
  if (b) QTest::mouseClick(b, Qt::LeftButton);
}

QString questionof(QWidget* dialog) {
  QLabel* label = dialog->findChild<QLabel*>(QStringLiteral("question"));
  return label ? label->text() : QString();
}

}  // namespace

Workbench::Workbench(const std::filesystem::path& workdir) : window(frontend) {
  window.setworkdir(QString::fromStdString(workdir.string()));
  window.show();
  connect(&timer_, &QTimer::timeout, this, &Workbench::poll);
  connect(&window, &ProjectDialog::commandended, this, [this] {
    QFile file(QString::fromStdString(window.workdir()) + QStringLiteral("/trosk_tmp.txt"));
    outputs << (file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString());
  });
  timer_.start(10);
}

bool Workbench::run(const char* button) {
  qsizetype before = outputs.size();
  QTest::mouseClick(find<QPushButton>(button), Qt::LeftButton);
  return waitended(before);
}

bool Workbench::waitended(qsizetype before) {
  return QTest::qWaitFor([&] { return outputs.size() > before; }, kRunTimeoutMs);
}

QWidget* Workbench::waitfor(const char* name) {
  QWidget* found = nullptr;
  auto appeared = [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal->objectName() == QLatin1String(name)) found = modal;
    return found != nullptr;
  };
  return QTest::qWaitFor(appeared, 10000) ? found : nullptr;
}

void Workbench::poll() {
  QWidget* modal = QApplication::activeModalWidget();
  if (modal && modal->isVisible()) answer(modal);
}

void Workbench::answer(QWidget* dialog) {
  QString kind = dialog->objectName();
  bool question = kind == QLatin1String("buttonquestion") || kind == QLatin1String("textquestion");
  if (question && !answering) return;
  if (kind == QLatin1String("closequestion")) {
    auto* box = static_cast<QMessageBox*>(dialog);
    bool yes = !answers.empty() && answers.front() == QLatin1String("y");
    if (!answers.empty()) answers.pop_front();
    QTest::mouseClick(box->button(yes ? QMessageBox::Yes : QMessageBox::No), Qt::LeftButton);
  } else if (question) {
    questions << questionof(dialog);
    if (!questionshot.isEmpty() && kind == QLatin1String("buttonquestion")) {
      dialog->grab().save(std::exchange(questionshot, QString()));
    }
    QString given = answers.empty() ? QString() : answers.front();
    if (answers.empty()) {
      ++unanswered;
    } else {
      answers.pop_front();
    }
    if (kind == QLatin1String("buttonquestion")) {
      click(dialog, given.isEmpty() ? QStringLiteral("n") : given);
    } else if (given == QLatin1String(kCancelAnswer)) {
      click(dialog, QStringLiteral("cancel"));
    } else {
      QTest::keyClicks(dialog->findChild<QLineEdit*>(QStringLiteral("answer")), given);
      click(dialog, QStringLiteral("ok"));
    }
  } else if (kind == QLatin1String("trustkey")) {
    questions << QStringLiteral("trust ") + dialog->findChild<QLabel*>(QStringLiteral("fingerprint"))->text();
    bool yes = !answers.empty() && answers.front() == QLatin1String("y");
    if (!answers.empty()) answers.pop_front();
    click(dialog, yes ? QStringLiteral("trust") : QStringLiteral("refuse"));
  } else if (kind == QLatin1String("alert") || kind == QLatin1String("about")) {
    auto* box = static_cast<QMessageBox*>(dialog);
    alerts << box->text();
    QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
  } else if (auto* diff = qobject_cast<DiffView*>(dialog)) {
    diffs << diff->text();
    click(dialog, QStringLiteral("close"));
  } else if (kind == QLatin1String("output")) {
    viewed << static_cast<TextViewer*>(dialog)->text();
    click(dialog, QStringLiteral("close"));
  } else if (kind == QLatin1String("helpwindow")) {
    helps << dialog->findChild<QTextBrowser*>(QStringLiteral("helptext"))->toPlainText();
    click(dialog, QStringLiteral("close"));
  }
}

}  // namespace trosk::testing
