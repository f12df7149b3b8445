// The line differences of a file's two copies side by side: the copy an update
// would replace on the left, the one replacing it on the right, changed lines
// coloured, with steps between changes; or the note printed in their place.
#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;
class QTableView;

namespace trosk {

class DiffModel;

class DiffView : public QDialog {
  Q_OBJECT

 public:
  // `text` is the unified diff (or the note) the run printed; the two paths
  // are read at once, at most as much of each as the engine compares. When
  // either is empty or cannot be read, the view shows `text` instead.
  // `upload`: the local copy would replace the host's.
  DiffView(const QString& name, const QString& text, const QString& localpath,
           const QString& hostpath, bool upload, QWidget* parent);

  QString text() const { return text_; }
  // The runs of changed lines, and the one (from 1) the current row is in,
  // 0 when it is in none.
  int changes() const;
  int currentchange() const;

 protected:
  void changeEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* twocolumns(const QString& name, bool upload);
  QWidget* note();
  QLayout* buttons(bool stepping);
  int currentrow() const;
  void step(bool forward);
  void showchange(int block);
  void showposition();
  void fitcolumns();

  QString text_;
  DiffModel* model_ = nullptr;  // null when only the note is shown
  QTableView* table_ = nullptr;
  QPushButton* previous_ = nullptr;
  QPushButton* next_ = nullptr;
  QLabel* position_ = nullptr;
  int textwidth_ = 0;  // what the longest line needs
};

// Shows the view modally and returns when it is closed.
void showdifference(QWidget* parent, const QString& name, const QString& text,
                    const QString& localpath, const QString& hostpath, bool upload);
// The same view, modal to the window without blocking; it deletes itself
// when closed.
DiffView* opendifference(QWidget* parent, const QString& name, const QString& text,
                         const QString& localpath, const QString& hostpath, bool upload);

}  // namespace trosk
