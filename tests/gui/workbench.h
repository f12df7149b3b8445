// The window as a person uses it in a test: the project dialog over its
// front end, and a driver that answers each modal dialog by its buttons
// (question, text question, alert or about box, differences, output, help),
// taking the scripted answers in order and recording what every dialog
// said, and the output file each command left.
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

// The answer that presses Cancel in a text question.
inline constexpr const char* kCancelAnswer = "<cancel>";

class Workbench : public QObject {
  Q_OBJECT

 public:
  explicit Workbench(const std::filesystem::path& workdir);

  template <class T = QWidget>
  T* find(const char* name) const {
    return window.findChild<T*>(QString::fromLatin1(name));
  }
  // Clicks the window's button and waits until the command has ended and
  // the window shows its results. Returns false when it did not end in time.
  bool run(const char* button);
  // Waits for the end of a command started otherwise, `before` being the
  // number of outputs until then.
  bool waitended(qsizetype before);
  // Waits for a modal dialog that the driver leaves to the test.
  QWidget* waitfor(const char* name);

  std::deque<QString> answers;  // a letter for a button question, a text (or kCancelAnswer) for a text question
  QStringList questions, alerts, diffs, viewed, helps;
  QStringList outputs;  // the output file after each command
  int unanswered = 0;     // questions met when no answer was left (answered "n")
  QString questionshot;   // when set, the next button question is saved there as a picture
  bool answering = true;  // false: the engine's questions wait for the test

  WindowFrontend frontend;
  ProjectDialog window;

 private:
  void poll();
  void answer(QWidget* dialog);

  QTimer timer_;
};

}  // namespace trosk::testing
