// The worker thread that runs the window's commands, one at a time, while the
// window stays responsive: the engine's questions come back to the GUI thread
// through the front end, and the end of a command as a signal.
#pragma once

#include <QObject>
#include <QThread>
#include <string>
#include <vector>

namespace trosk {

class WindowFrontend;

class CommandRunner : public QObject {
  Q_OBJECT

 public:
  explicit CommandRunner(WindowFrontend& frontend, QObject* parent = nullptr);
  ~CommandRunner() override;

  // Starts the command (words as on the command line, for `project`) on the
  // worker thread. Returns false, and starts nothing, while one runs.
  bool start(std::vector<std::string> words, std::string project);
  bool busy() const { return busy_; }

 signals:
  // The command has ended and its output file is complete.
  void finished(int code);

 private:
  WindowFrontend& frontend_;
  QObject worker_;  // lives on the thread: the context of the queued calls
  QThread thread_;
  bool busy_ = false;
};

}  // namespace trosk
