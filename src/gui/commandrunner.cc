#include "gui/commandrunner.h"

#include "core/runerror.h"
#include "gui/runcommand.h"
#include "gui/unpack.h"
#include "gui/windowfrontend.h"
#include "sync/run.h"

namespace trosk {

CommandRunner::CommandRunner(WindowFrontend& frontend, QObject* parent)
    : QObject(parent), frontend_(frontend) {
  worker_.moveToThread(&thread_);
  // Connected first, so that the window sees a runner that is free again.
  connect(this, &CommandRunner::finished, this, [this] { busy_ = false; });
  thread_.start();
}

CommandRunner::~CommandRunner() {
  cancel();
  thread_.quit();
  thread_.wait();
}

bool CommandRunner::start(std::vector<std::string> words, std::string project,
                          std::string workdir) {
  if (busy_) return false;
  busy_ = true;
  QMetaObject::invokeMethod(
      &worker_,
      [this, words = std::move(words), project = std::move(project),
       workdir = std::move(workdir)] { work(words, project, workdir); },
      Qt::QueuedConnection);
  return true;
}

void CommandRunner::cancel() {
  std::lock_guard<std::mutex> hold(activeLock_);
  if (active_) active_->context.cancel();
}

void CommandRunner::work(const std::vector<std::string>& words, const std::string& project,
                         const std::string& workdir) {
  Run run(frontend_);
  {
    std::lock_guard<std::mutex> hold(activeLock_);
    active_ = &run;
  }
  int code = runcommand(run, workdir, words);
  std::vector<std::string> arrived = frontend_.takearchives();
  if (code == 0) {
    try {
      offerunpack(run.context, arrived, project);
    } catch (const RunError&) {
      // Its alert has been shown; the command is over all the same.
    }
  }
  closecommand(run);
  {
    std::lock_guard<std::mutex> hold(activeLock_);
    active_ = nullptr;
  }
  emit finished(code);
}

}  // namespace trosk
