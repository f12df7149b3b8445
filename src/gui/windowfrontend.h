// The window's side of the engine's questions, alerts, progress and events.
// The engine calls it on the worker thread: each question, alert or
// difference is handed to the GUI thread by a blocking queued call and waits
// there for the user in a modal dialog; progress and caption go over as
// queued signals, the file and version events in batches the window takes.
// Called on the GUI thread itself (the settings dialog), it shows the dialog
// directly.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <mutex>
#include <string>
#include <vector>

#include "core/frontend.h"
#include "gui/fileevent.h"

namespace trosk {

// One line of the host's version log, owned.
struct VersionRow {
  QString date;
  int version = 0;
  int subversion = 0;
  QString activity, comment;
};

// The error that ended a command, as its alert showed it.
struct RunFailure {
  QString text;
  QString cause;
};

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
  void difference(const Difference& d) override;
  void archives(const std::vector<std::string>& names) override;
  bool unpacksarchives() const override { return true; }
  void projectstart(std::string_view name) override;
  void filestate(const FileState& s) override;
  void fileresult(const FileResult& r) override;
  void summary(const RunSummary& s) override;
  void releases(const ReleaseVersions& r) override;
  void versionentry(const VersionEntry& v) override;
  KeyAnswer trustkey(const KeyQuestion& q) override;

  // An alert of the window's own (GUI thread).
  void alert(std::string_view text) { alert(Alert{text, {}, false}); }

  // Before a command starts (GUI thread): forget the last one's project,
  // error and archives.
  void startcommand();
  // The archives the command brought; the list starts afresh.
  std::vector<std::string> takearchives();
  // What arrived since the last call (GUI thread).
  std::vector<FileEvent> takeevents();
  std::vector<VersionRow> takeversions();
  ReleaseVersions releasesknown();
  // The error that ended the last command, if one did.
  RunFailure failure();

 signals:
  void progressed(int percent);  // -1: the bar is hidden
  void captioned(const QString& text);
  void eventsready();    // takeevents has more
  void versionsready();  // takeversions has more
  void asking(bool open);  // a question waits for the user, or has been answered
  // The user cancelled a question that wants a line of text: the command
  // is to stop (connected directly, so that the run sees it at once).
  void questioncancelled();

 private:
  // Runs `show` on the GUI thread and returns its result: directly there,
  // from the worker by a blocking queued call that waits for the user.
  template <class Show>
  auto ongui(Show show);
  void post(FileEvent event);

  QPointer<QWidget> window_;
  // Worker side only.
  int shown_ = -1;
  QString project_;
  std::vector<std::string> arrived_;
  // Shared between the two threads.
  std::mutex lock_;
  std::vector<FileEvent> events_;
  std::vector<VersionRow> versions_;
  ReleaseVersions releases_;
  RunFailure failure_;
};

}  // namespace trosk
