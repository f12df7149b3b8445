// The engine's questions as modal dialogs: the one-letter question with a
// button for each answer it accepts (Yes, No, Yes to All, No to All, Diff;
// each letter is also its key, Escape answers No, Enter presses the button
// that has the focus, No at first), and the question answered by a line of
// text. Both name the project they are about.
#pragma once

#include <QDialog>
#include <QString>
#include <optional>

class QLineEdit;

namespace trosk {

struct Question {
  QString text;
  QString letters;  // the one-letter answers accepted (a subset of "ynYNAXd")
  QString project;  // empty when no project's turn has begun
};

class QuestionDialog : public QDialog {
  Q_OBJECT

 public:
  QuestionDialog(const Question& question, QWidget* parent);
  // "y", "n", "A", "X" or "d"; "n" when the dialog was closed otherwise.
  QString answer() const { return answer_; }

 private:
  QString answer_ = QStringLiteral("n");
};

class TextQuestionDialog : public QDialog {
  Q_OBJECT

 public:
  TextQuestionDialog(const Question& question, QWidget* parent);
  // The text after OK, empty after Cancel.
  QString answer() const;

 private:
  QLineEdit* field_;
};

// Whether to trust a signed host's key: its fingerprint in full, in fixed
// letters, and the one trusted before when the key has changed. "Do not
// trust" has the focus and answers Escape; the user must choose to trust.
class TrustKeyDialog : public QDialog {
  Q_OBJECT

 public:
  TrustKeyDialog(const QString& project, const QString& fingerprint, const QString& trusted,
                 QWidget* parent);
};

// Shows the dialog and waits for the answer; a text question gives nothing
// after Cancel.
QString askbuttons(QWidget* parent, const Question& question);
std::optional<QString> asktext(QWidget* parent, const Question& question);
bool asktrust(QWidget* parent, const QString& project, const QString& fingerprint,
              const QString& trusted);

}  // namespace trosk
