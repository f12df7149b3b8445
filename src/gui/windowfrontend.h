// The window's side of the engine's questions, alerts and progress. The
// engine calls it on the worker thread: each question, alert or difference is
// handed to the GUI thread by a blocking queued call and waits there for the
// user in a modal dialog; progress and caption go over as queued signals.
// Called on the GUI thread itself (the settings dialog), it shows the dialog
// directly.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <string>
#include <vector>

#include "core/frontend.h"

namespace trosk {

class WindowFrontend final : public QObject, public Frontend {
  Q_OBJECT

 public:
  // Dialogs open over `window` (the project dialog), set once it exists.
  void setwindow(QWidget* window) { window_ = window; }

  void ask(std::string_view question, char* answer, std::size_t size,
           const char* letters) override;
  void alert(const Alert& alert) override;
  void progress(const Progress& progress) override;
  void progressdone() override;
  void caption(std::string_view text) override;
  void difference(std::string_view text) override;
  void archives(const std::vector<std::string>& names) override;

  // An alert of the window's own (GUI thread).
  void alert(std::string_view text) { alert(Alert{text, {}, false}); }
  // The archives the command brought; the list starts afresh.
  std::vector<std::string> takearchives();

 signals:
  void progressed(int percent);  // -1: the bar is hidden
  void captioned(const QString& text);

 private:
  // Runs `show` on the GUI thread and returns its result: directly there,
  // from the worker by a blocking queued call that waits for the user.
  template <class Show>
  auto ongui(Show show);

  QPointer<QWidget> window_;
  // Worker side only.
  int shown_ = -1;
  std::vector<std::string> arrived_;
};

}  // namespace trosk
