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

bool CommandRunner::start(Job job) {
  if (busy_) return false;
  busy_ = true;
  QMetaObject::invokeMethod(
      &worker_, [this, job = std::move(job)] { work(job); }, Qt::QueuedConnection);
  return true;
}

void CommandRunner::cancel() {
  std::lock_guard<std::mutex> hold(activeLock_);
  if (active_) active_->context.cancel();
}

void CommandRunner::work(const Job& job) {
  Run run(frontend_);
  run.reportnew = job.reportnew;
  run.diffonly = job.diffonly;
  {
    std::lock_guard<std::mutex> hold(activeLock_);
    active_ = &run;
  }
  bool unpacking = !job.unpack.empty();
  int code = unpacking ? rununpack(run, job.workdir, job.unpack, job.project)
                       : runcommand(run, job.workdir, job.words);
  std::vector<std::string> arrived = frontend_.takearchives();
  if (code == 0 && !unpacking) {
    try {
      offerunpack(run.context, arrived, job.project);
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
