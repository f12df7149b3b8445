// The window as a person uses it in a test: the project dialog over its
// front end, and a driver that answers each modal dialog by its
// buttons (question, text question, alert or about box, differences,
// output), taking the
// scripted answers in order and recording what every dialog said.
#pragma once

#include <QObject>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <filesystem>

#include "gui/projectdialog.h"
#include "gui/windowfrontend.h"

namespace trosk::testing {

class Workbench : public QObject {
  Q_OBJECT

 public:
  explicit Workbench(const std::filesystem::path& workdir);

  template <class T = QWidget>
  T* find(const char* name) const {
    return window.findChild<T*>(QString::fromLatin1(name));
  }
  // Clicks the window's button and waits until the command's output has been
  // shown (and closed). Returns false when it did not end in time.
  bool run(const char* button);
  // Waits for a modal dialog that the driver leaves to the test.
  QWidget* waitfor(const char* name);

  std::deque<QString> answers;  // a letter for a button question, a text for a text question
  QStringList questions, alerts, diffs, outputs;
  int unanswered = 0;     // questions met when no answer was left (answered "n")
  QString questionshot;   // when set, the next button question is saved there as a picture

  WindowFrontend frontend;
  ProjectDialog window;

 private:
  void poll();
  void answer(QWidget* dialog);

  QTimer timer_;
};

}  // namespace trosk::testing
