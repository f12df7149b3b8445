#include "gui/questiondialog.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
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

namespace {

// A fingerprint in groups of eight, two lines: read and compared at a glance.
QString grouped(const QString& print) {
  QString out;
  for (int i = 0; i < print.size(); i += 8) {
    if (i > 0) out += i == 32 ? QStringLiteral("\n") : QStringLiteral(" ");
    out += print.mid(i, 8);
  }
  return out;
}

QLabel* printlabel(const QString& print, const char* name) {
  auto* label = new QLabel(grouped(print));
  label->setObjectName(QString::fromLatin1(name));
  label->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return label;
}

}  // namespace

TrustKeyDialog::TrustKeyDialog(const QString& project, const QString& fingerprint,
                               const QString& trusted, QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("trustkey"));
  setWindowTitle(trusted.isEmpty() ? QStringLiteral("Trust this host's key?")
                                   : QStringLiteral("The host's key has changed"));
  auto* layout = new QVBoxLayout(this);
  auto* about = new QLabel(
      trusted.isEmpty()
          ? QStringLiteral("Project %1 is published signed. Trust the key with this "
                           "fingerprint? Compare it with the one the project's writer gave you.")
                .arg(project)
          : QStringLiteral("Project %1 is now signed with another key than the one you "
                           "trusted. Trust the new key only if its writer told you of the change.")
                .arg(project));
  about->setWordWrap(true);
  layout->addWidget(about);
  if (!trusted.isEmpty()) {
    layout->addWidget(new QLabel(QStringLiteral("Trusted until now:")));
    layout->addWidget(printlabel(trusted, "trusted"));
    layout->addWidget(new QLabel(QStringLiteral("The host's key now:")));
  }
  layout->addWidget(printlabel(fingerprint, "fingerprint"));
  auto* buttons = new QDialogButtonBox;
  QPushButton* trust = buttons->addButton(QStringLiteral("&Trust this key"),
                                          QDialogButtonBox::AcceptRole);
  QPushButton* refuse = buttons->addButton(QStringLiteral("&Do not trust"),
                                           QDialogButtonBox::RejectRole);
  trust->setObjectName(QStringLiteral("trust"));
  refuse->setObjectName(QStringLiteral("refuse"));
  trust->setAutoDefault(true);
  refuse->setAutoDefault(true);
  refuse->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  refuse->setFocus();
}

bool asktrust(QWidget* parent, const QString& project, const QString& fingerprint,
              const QString& trusted) {
  TrustKeyDialog dialog(project, fingerprint, trusted, parent);
  return dialog.exec() == QDialog::Accepted;
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
