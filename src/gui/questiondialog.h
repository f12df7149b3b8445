// The engine's questions as modal dialogs: the one-letter question with its
// five buttons (Yes, No, Yes to All, No to All, Diff; each letter is also its
// key, Escape answers No), and the question answered by a line of text.
#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;

namespace trosk {

class QuestionDialog : public QDialog {
  Q_OBJECT

 public:
  QuestionDialog(const QString& question, QWidget* parent);
  // "y", "n", "A", "X" or "d"; "n" when the dialog was closed otherwise.
  QString answer() const { return answer_; }

 private:
  QString answer_ = QStringLiteral("n");
};

class TextQuestionDialog : public QDialog {
  Q_OBJECT

 public:
  TextQuestionDialog(const QString& question, QWidget* parent);
  // The text after OK, empty after Cancel.
  QString answer() const;

 private:
  QLineEdit* field_;
};

// Shows the dialog and waits for the answer.
QString askbuttons(QWidget* parent, const QString& question);
QString asktext(QWidget* parent, const QString& question);

}  // namespace trosk
