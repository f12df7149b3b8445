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
    {"y", "&Yes", Qt::Key_Y},
    {"n", "&No", Qt::Key_N},
    {"A", "Yes to &All", Qt::Key_A},
    {"X", "No to All (&X)", Qt::Key_X},
    {"d", "&Diff", Qt::Key_D},
};

void addquestion(QVBoxLayout* layout, const Question& question, QWidget* parent) {
  if (!question.project.isEmpty()) {
    auto* project = new QLabel(QStringLiteral("Project: <b>%1</b>").arg(question.project.toHtmlEscaped()), parent);
    project->setObjectName(QStringLiteral("questionproject"));
    layout->addWidget(project);
  }
  auto* label = new QLabel(question.text.trimmed(), parent);
  label->setObjectName(QStringLiteral("question"));
  label->setWordWrap(true);
  label->setTextFormat(Qt::PlainText);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  label->setMinimumWidth(420);
  layout->addWidget(label);
}

}  // namespace

QuestionDialog::QuestionDialog(const Question& question, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("buttonquestion"));
  setWindowTitle(QStringLiteral("Trosk question"));
  auto* layout = new QVBoxLayout(this);
  addquestion(layout, question, this);
  auto* row = new QHBoxLayout;
  for (const Choice& choice : kChoices) {
    // A button the question does not accept would count as yes: none is shown.
    QString letter = QString::fromLatin1(choice.letter);
    if (!question.letters.contains(letter)) continue;
    auto* button = new QPushButton(QString::fromLatin1(choice.label), this);
    button->setObjectName(letter);
    button->setShortcut(QKeySequence(choice.key));
    // The console's answers are typed as letters: with Shift too ("A", "X").
    auto* shifted = new QShortcut(QKeySequence(Qt::SHIFT | choice.key), this);
    connect(shifted, &QShortcut::activated, button, &QPushButton::animateClick);
    if (letter == QLatin1String("n")) button->setFocus();
    connect(button, &QPushButton::clicked, this, [this, letter] {
      answer_ = letter;
      accept();
    });
    row->addWidget(button);
  }
  layout->addLayout(row);
}

TextQuestionDialog::TextQuestionDialog(const Question& question, QWidget* parent)
    : QDialog(parent), field_(new QLineEdit(this)) {
  setObjectName(QStringLiteral("textquestion"));
  setWindowTitle(QStringLiteral("Trosk question"));
  auto* layout = new QVBoxLayout(this);
  addquestion(layout, question, this);
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

QString askbuttons(QWidget* parent, const Question& question) {
  QuestionDialog dialog(question, parent);
  dialog.exec();
  return dialog.answer();
}

std::optional<QString> asktext(QWidget* parent, const Question& question) {
  TextQuestionDialog dialog(question, parent);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.answer();
}

}  // namespace trosk
