#include "gui/windowfrontend.h"

#include <QMessageBox>
#include <QThread>
#include <algorithm>
#include <cstring>
#include <type_traits>
#include <utility>

#include "gui/questiondialog.h"
#include "gui/textviewer.h"

namespace trosk {
namespace {

QString qtext(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
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
  QString q = qtext(question);
  bool buttons = letters != nullptr;
  QByteArray given = ongui([this, q, buttons] {
    return (buttons ? askbuttons(window_, q) : asktext(window_, q)).toUtf8();
  });
  std::size_t n = std::min(static_cast<std::size_t>(given.size()), size - 1);
  std::memcpy(answer, given.constData(), n);
  answer[n] = '\0';
}

void WindowFrontend::alert(const Alert& alert) {
  QString shown = qtext(alert.text);
  QString cause = qtext(alert.cause);
  bool error = alert.error || shown.startsWith(QLatin1String("TROSK error"));
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

void WindowFrontend::difference(std::string_view text) {
  QString shown = qtext(text);
  ongui([this, shown] { showdifferences(window_, shown); });
}

void WindowFrontend::archives(const std::vector<std::string>& names) {
  arrived_.insert(arrived_.end(), names.begin(), names.end());
}

std::vector<std::string> WindowFrontend::takearchives() { return std::exchange(arrived_, {}); }

}  // namespace trosk
