// The worker thread that runs the window's commands, one at a time, while the
// window stays responsive: each command is a run of its own on the worker,
// in the working directory the window names; the engine's questions come back
// to the GUI thread through the front end, and the end of a command as a
// signal. Cancel reaches the run in progress.
#pragma once

#include <QObject>
#include <QThread>
#include <mutex>
#include <string>
#include <vector>

namespace trosk {

struct Run;
class WindowFrontend;

// One command of the window: command-line words, or an archive to unpack.
struct Job {
  std::vector<std::string> words;  // as on the command line, the program's name first
  std::string project;             // the project the command is for; empty for all
  std::string workdir;
  bool reportnew = false;  // a status also lists files the host does not have
  std::string diffonly;    // a status that shows this file's differences
  std::string unpack;      // instead of words: the archive to unpack
};

class CommandRunner : public QObject {
  Q_OBJECT

 public:
  explicit CommandRunner(WindowFrontend& frontend, QObject* parent = nullptr);
  ~CommandRunner() override;

  // Starts the job on the worker thread. Returns false, and starts nothing,
  // while one runs.
  bool start(Job job);
  bool busy() const { return busy_; }
  // Any thread: the run in progress stops at its next step.
  void cancel();

 signals:
  // The command has ended (its exit code) and its output file is complete.
  void finished(int code);

 private:
  void work(const Job& job);

  WindowFrontend& frontend_;
  QObject worker_;  // lives on the thread: the context of the queued calls
  QThread thread_;
  bool busy_ = false;
  std::mutex activeLock_;
  Run* active_ = nullptr;  // the run on the worker, while there is one
};

}  // namespace trosk
