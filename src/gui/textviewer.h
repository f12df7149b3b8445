// A read-only text window with a search line: the output of a command after
// it ended. The whole text is loaded in one go, so that a long output opens
// at once.
#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace trosk {

class TextViewer : public QDialog {
  Q_OBJECT

 public:
  TextViewer(const QString& title, const QString& text, QWidget* parent);
  QString text() const;

 private:
  void findnext();

  QPlainTextEdit* text_;
  QLineEdit* search_;
  QLabel* found_;
};

// The output file that the command that has just ended left in `workdir`,
// in a viewer that deletes itself when closed; modal to the window, without
// blocking. `error` (the alert that ended the command, which the output file
// does not hold) follows the output when there was one.
TextViewer* showoutput(QWidget* parent, const QString& workdir, const QString& error = {});

}  // namespace trosk
