#include "gui/questiondialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include "core/output.h"

namespace trosk {
namespace {

struct Choice {
  const char* letter;
  const char* label;
  Qt::Key key;
};

constexpr Choice kChoices[] = {
    {"y", "Yes (y)", Qt::Key_Y},
    {"n", "No (n)", Qt::Key_N},
    {"A", "Yes to All (A)", Qt::Key_A},
    {"X", "No to All (X)", Qt::Key_X},
    {"d", "Diff (d)", Qt::Key_D},
};

QLabel* questionlabel(const QString& question, QWidget* parent) {
  auto* label = new QLabel(question.trimmed(), parent);
  label->setObjectName(QStringLiteral("question"));
  label->setWordWrap(true);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  label->setMinimumWidth(420);
  return label;
}

}  // namespace

QuestionDialog::QuestionDialog(const QString& question, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("buttonquestion"));
  setWindowTitle(QStringLiteral("Trosk question"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(questionlabel(question, this));
  auto* row = new QHBoxLayout;
  for (const Choice& choice : kChoices) {
    auto* button = new QPushButton(QString::fromLatin1(choice.label), this);
    button->setObjectName(QString::fromLatin1(choice.letter));
    button->setShortcut(QKeySequence(choice.key));
    // The console's answers are typed as letters: with Shift too ("A", "X").
    auto* shifted = new QShortcut(QKeySequence(Qt::SHIFT | choice.key), this);
    connect(shifted, &QShortcut::activated, button, &QPushButton::animateClick);
    button->setAutoDefault(false);  // Enter answers nothing: every answer is chosen
    QString letter = QString::fromLatin1(choice.letter);
    connect(button, &QPushButton::clicked, this, [this, letter] {
      answer_ = letter;
      accept();
    });
    row->addWidget(button);
  }
  layout->addLayout(row);
}

TextQuestionDialog::TextQuestionDialog(const QString& question, QWidget* parent)
    : QDialog(parent), field_(new QLineEdit(this)) {
  setObjectName(QStringLiteral("textquestion"));
  setWindowTitle(QStringLiteral("Trosk question"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(questionlabel(question, this));
  field_->setObjectName(QStringLiteral("answer"));
  field_->setMaxLength(static_cast<int>(kTextAnswerMax));
  layout->addWidget(field_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("ok"));
  buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancel"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

QString TextQuestionDialog::answer() const {
  return result() == QDialog::Accepted ? field_->text() : QString();
}

QString askbuttons(QWidget* parent, const QString& question) {
  QuestionDialog dialog(question, parent);
  dialog.exec();
  return dialog.answer();
}

QString asktext(QWidget* parent, const QString& question) {
  TextQuestionDialog dialog(question, parent);
  dialog.exec();
  return dialog.answer();
}

}  // namespace trosk
