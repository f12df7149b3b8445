#include "gui/textviewer.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/output.h"

namespace trosk {

TextViewer::TextViewer(const QString& title, const QString& text, QWidget* parent)
    : QDialog(parent),
      text_(new QPlainTextEdit(this)),
      search_(new QLineEdit(this)),
      found_(new QLabel(this)) {
  setWindowTitle(title);
  resize(820, 560);
  auto* layout = new QVBoxLayout(this);
  text_->setObjectName(QStringLiteral("text"));
  text_->setReadOnly(true);
  text_->setLineWrapMode(QPlainTextEdit::NoWrap);
  text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  text_->setPlainText(text);
  layout->addWidget(text_);

  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel(QStringLiteral("Find:"), this));
  search_->setObjectName(QStringLiteral("search"));
  row->addWidget(search_, 1);
  auto* next = new QPushButton(QStringLiteral("Find &Next"), this);
  next->setObjectName(QStringLiteral("findnext"));
  next->setAutoDefault(false);
  row->addWidget(next);
  row->addWidget(found_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  buttons->button(QDialogButtonBox::Close)->setObjectName(QStringLiteral("close"));
  buttons->button(QDialogButtonBox::Close)->setAutoDefault(false);
  row->addWidget(buttons);
  layout->addLayout(row);

  connect(search_, &QLineEdit::returnPressed, this, &TextViewer::findnext);
  connect(next, &QPushButton::clicked, this, &TextViewer::findnext);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QString TextViewer::text() const { return text_->toPlainText(); }

void TextViewer::findnext() {
  QString wanted = search_->text();
  if (wanted.isEmpty()) return;
  // From the selection on, then once more from the top.
  bool hit = text_->find(wanted);
  if (!hit) {
    text_->moveCursor(QTextCursor::Start);
    hit = text_->find(wanted);
  }
  found_->setText(hit ? QString() : QStringLiteral("Not found"));
}

TextViewer* showoutput(QWidget* parent, const QString& workdir, const QString& error) {
  QFile file(workdir + QLatin1Char('/') + QString::fromLatin1(kOutputFileName));
  QString text = file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll())
                                                : QStringLiteral("(no output)");
  if (!error.isEmpty()) text += QLatin1Char('\n') + error + QLatin1Char('\n');
  auto* viewer = new TextViewer(QStringLiteral("Trosk output"), text, parent);
  viewer->setObjectName(QStringLiteral("output"));
  viewer->setAttribute(Qt::WA_DeleteOnClose);
  viewer->open();
  return viewer;
}

}  // namespace trosk
