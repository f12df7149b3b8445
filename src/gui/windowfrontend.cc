#include "gui/windowfrontend.h"

#include <QMessageBox>
#include <QThread>
#include <algorithm>
#include <cstring>
#include <type_traits>
#include <utility>

#include "gui/diffview.h"
#include "gui/questiondialog.h"

namespace trosk {
namespace {

// The engine's causes name the console's options; the window's user sets
// the same things in Settings.
QString windowwords(QString cause) {
  cause.replace(QLatin1String("(see -access)"),
                QLatin1String("(see Login name and Password in Settings)"));
  return cause;
}

}  // namespace

template <class Show>
auto WindowFrontend::ongui(Show show) {
  using Result = decltype(show());
  if (QThread::currentThread() == thread()) return show();
  if constexpr (std::is_void_v<Result>) {
    QMetaObject::invokeMethod(this, show, Qt::BlockingQueuedConnection);
  } else {
    Result result{};
    QMetaObject::invokeMethod(this, show, Qt::BlockingQueuedConnection, &result);
    return result;
  }
}

void WindowFrontend::ask(std::string_view question, char* answer, std::size_t size,
                         const char* letters) {
  if (size == 0) return;
  Question q{qtext(question), letters ? QString::fromLatin1(letters) : QString(), project_};
  bool buttons = letters != nullptr;
  emit asking(true);
  QByteArray given = ongui([this, q, buttons] {
    if (buttons) return askbuttons(window_, q).toUtf8();
    std::optional<QString> typed = asktext(window_, q);
    if (!typed) emit questioncancelled();
    return typed.value_or(QString()).toUtf8();
  });
  emit asking(false);
  std::size_t n = std::min(static_cast<std::size_t>(given.size()), size - 1);
  std::memcpy(answer, given.constData(), n);
  answer[n] = '\0';
}

KeyAnswer WindowFrontend::trustkey(const KeyQuestion& q) {
  QString project = qtext(q.project), print = qtext(q.fingerprint), trusted = qtext(q.trusted);
  emit asking(true);
  bool yes = ongui([this, project, print, trusted] { return asktrust(window_, project, print, trusted); });
  emit asking(false);
  return yes ? KeyAnswer::kTrust : KeyAnswer::kRefuse;
}

void WindowFrontend::alert(const Alert& alert) {
  QString shown = qtext(alert.text);
  QString cause = windowwords(qtext(alert.cause));
  bool error = alert.error || shown.startsWith(QLatin1String("TROSK error"));
  if (error) {
    std::lock_guard<std::mutex> hold(lock_);
    failure_ = {shown, cause};
  }
  ongui([this, shown, cause, error] {
    QMessageBox box(error ? QMessageBox::Warning : QMessageBox::Information,
                    QStringLiteral("Trosk"), shown, QMessageBox::Ok, window_);
    box.setObjectName(QStringLiteral("alert"));
    if (!cause.isEmpty()) box.setInformativeText(QStringLiteral("Cause: ") + cause);
    box.exec();
  });
}

void WindowFrontend::progress(const Progress& p) {
  if (p.percent != shown_) emit progressed(p.percent);
  shown_ = p.percent;
}

void WindowFrontend::progressdone() {
  shown_ = -1;
  emit progressed(-1);
}

void WindowFrontend::caption(std::string_view text) { emit captioned(qtext(text)); }

void WindowFrontend::difference(const Difference& d) {
  QString name = qtext(d.name), text = qtext(d.text);
  QString local = qtext(d.localpath), host = qtext(d.hostpath);
  bool upload = d.upload;
  ongui([=, this] { showdifference(window_, name, text, local, host, upload); });
}

void WindowFrontend::archives(const std::vector<std::string>& names) {
  arrived_.insert(arrived_.end(), names.begin(), names.end());
}

void WindowFrontend::projectstart(std::string_view name) { project_ = qtext(name); }

void WindowFrontend::post(FileEvent event) {
  bool first;
  {
    std::lock_guard<std::mutex> hold(lock_);
    first = events_.empty();
    events_.push_back(std::move(event));
  }
  // One signal per batch: the window takes all that came meanwhile.
  if (first) emit eventsready();
}

void WindowFrontend::filestate(const FileState& s) { post(stateevent(project_, s)); }
void WindowFrontend::fileresult(const FileResult& r) { post(resultevent(project_, r)); }
void WindowFrontend::summary(const RunSummary& s) { post(summaryevent(project_, s)); }

void WindowFrontend::releases(const ReleaseVersions& r) {
  std::lock_guard<std::mutex> hold(lock_);
  releases_ = r;
}

void WindowFrontend::versionentry(const VersionEntry& v) {
  bool first;
  {
    std::lock_guard<std::mutex> hold(lock_);
    first = versions_.empty();
    versions_.push_back({qtext(v.date), v.version, v.subversion, qtext(v.activity), qtext(v.comment)});
  }
  if (first) emit versionsready();
}

void WindowFrontend::startcommand() {
  std::lock_guard<std::mutex> hold(lock_);
  project_.clear();
  arrived_.clear();
  failure_ = {};
  releases_ = {};
  events_.clear();
  versions_.clear();
}

std::vector<std::string> WindowFrontend::takearchives() { return std::exchange(arrived_, {}); }

std::vector<FileEvent> WindowFrontend::takeevents() {
  std::lock_guard<std::mutex> hold(lock_);
  return std::exchange(events_, {});
}

std::vector<VersionRow> WindowFrontend::takeversions() {
  std::lock_guard<std::mutex> hold(lock_);
  return std::exchange(versions_, {});
}

ReleaseVersions WindowFrontend::releasesknown() {
  std::lock_guard<std::mutex> hold(lock_);
  return releases_;
}

RunFailure WindowFrontend::failure() {
  std::lock_guard<std::mutex> hold(lock_);
  return failure_;
}

}  // namespace trosk
