#include "gui/commandrunner.h"

#include "gui/runcommand.h"
#include "gui/unpack.h"
#include "gui/windowfrontend.h"

namespace trosk {

CommandRunner::CommandRunner(WindowFrontend& frontend, QObject* parent)
    : QObject(parent), frontend_(frontend) {
  worker_.moveToThread(&thread_);
  // Connected first, so that the window sees a runner that is free again.
  connect(this, &CommandRunner::finished, this, [this] { busy_ = false; });
  thread_.start();
}

CommandRunner::~CommandRunner() {
  thread_.quit();
  thread_.wait();
}

bool CommandRunner::start(std::vector<std::string> words, std::string project) {
  if (busy_) return false;
  busy_ = true;
  QMetaObject::invokeMethod(
      &worker_,
      [this, words = std::move(words), project = std::move(project)] {
        int code = runcommand(words);
        std::vector<std::string> arrived = frontend_.takearchives();
        if (code == 0) offerunpack(arrived, project);
        closecommand();
        emit finished(code);
      },
      Qt::QueuedConnection);
  return true;
}

}  // namespace trosk
