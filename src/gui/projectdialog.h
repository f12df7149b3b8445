// The project dialog, the window of the desktop program: the working
// directory (with the recent ones), the projects of its list, a field for a
// project not listed yet, and a button for each command. A command runs on
// the worker thread with its progress shown here; its results fill the file
// view and the versions view as they arrive, a line sums it up at its end,
// and its full output is one click away. A directory that follows no
// project yet shows how to begin instead.
#pragma once

#include <QWidget>
#include <map>
#include <string>
#include <vector>

#include "gui/commandline.h"
#include "gui/commandrunner.h"
#include "gui/projectsettings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLayout;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QTabWidget;
class QTableView;
class QTreeWidget;

namespace trosk {

class FileFilter;
class FileListModel;
class VersionListModel;
class WindowFrontend;

class ProjectDialog : public QWidget {
  Q_OBJECT

 public:
  explicit ProjectDialog(WindowFrontend& frontend, QWidget* parent = nullptr);

  // Makes `dir` the working directory and shows its projects. False (after
  // an alert) when it cannot be entered. Only between commands.
  bool setworkdir(const QString& dir);
  // The project the buttons act on: the typed name, else the chosen row;
  // empty for every project of the list.
  std::string project() const;
  // The working directory the commands run in.
  std::string workdir() const;
  bool busy() const;
  // Adds the files (paths inside the working directory) to the chosen
  // source project, asking for the comment first. False when nothing ran.
  bool addfiles(const QStringList& paths);

  FileListModel& files() { return *files_; }
  VersionListModel& versions() { return *versions_; }

 signals:
  // A command has ended and the window shows its results.
  void commandended(int code);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  template <class W>
  W* idle(W* widget, const char* name);
  QPushButton* button(const char* name, const QString& text);
  QPushButton* commandbutton(const char* name, const QString& text, Command command);
  QLayout* directoryrow();
  QLayout* projectfields();
  QWidget* results();
  QWidget* emptypage();
  QWidget* fileview();
  QWidget* versionview();
  QLayout* buttons();
  QLayout* progressrow();
  QLayout* resultrow();

  void run(Command command);
  bool start(Job job, Command command, const std::string& shown);
  void finished(int code);
  void takeevents();
  void takeversions();
  void asking(bool open);
  void opensettings();
  void browse();
  void about();
  void help();
  void chooseaddfiles();
  void startproject(bool fromhost);
  void downloadversion();
  void filemenu(const QPoint& at);
  void showdiff(const QString& name);
  void unpack(const QString& name);
  void showfulloutput();
  void reloadprojects();
  void updatebuttons();
  void showprogress(int percent);
  void remember(const QString& dir);
  SessionOptions sessionof(const std::string& name) const;
  const ProjectSettings* listed(const std::string& name) const;

  WindowFrontend& frontend_;
  CommandRunner runner_;
  std::vector<ProjectSettings> projects_;
  std::map<std::string, SessionOptions> sessions_;  // by project
  Command running_ = Command::kStatus;
  bool diffing_ = false;      // the command shows one file's differences
  bool closewhendone_ = false;
  QString nextdone_;  // what the next command's result line says when it succeeds
  QString donetext_;  // the same for the command in hand
  QString rowsfor_;           // the working directory and project the file rows are of

  QComboBox* workdir_;
  QTreeWidget* list_;
  QLineEdit* newproject_;
  QLineEdit* options_;
  QLabel* actson_;
  QStackedWidget* pages_;
  QTabWidget* tabs_;
  FileListModel* files_;
  FileFilter* filter_;
  QTableView* fileview_;
  VersionListModel* versions_;
  QTableView* versionview_;
  QCheckBox* verbose_;
  QLabel* command_;
  QLabel* caption_;
  QProgressBar* bar_;
  QPushButton* cancel_;
  QPushButton* upload_;
  QPushButton* addfiles_;
  QLabel* result_;
  std::vector<QWidget*> idleonly_;  // usable only between commands
};

}  // namespace trosk
