// The project dialog, the window of the desktop program: the working
// directory, the projects of its list with their hosts, a field for a project
// not listed yet, and a button for each command of the console. A command
// runs on the worker thread with its progress shown here; its output opens
// in a viewer when it ends, and the dialog is ready for the next one.
#pragma once

#include <QWidget>
#include <map>
#include <string>
#include <vector>

#include "gui/commandline.h"
#include "gui/commandrunner.h"
#include "gui/projectsettings.h"

class QCheckBox;
class QLabel;
class QLayout;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace trosk {

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

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  template <class W>
  W* idle(W* widget, const char* name);
  QPushButton* button(const char* name, const QString& text);
  QPushButton* commandbutton(const char* name, const QString& text, Command command);
  QLayout* directoryrow();
  QWidget* projectlist();
  QLayout* fields();
  QLayout* buttons();
  QLayout* progressrow();
  void run(Command command);
  void finished();
  void opensettings();
  void browse();
  void about();
  void reloadprojects();
  void updatebuttons();
  void showprogress(int percent);
  const ProjectSettings* listed(const std::string& name) const;

  WindowFrontend& frontend_;
  CommandRunner runner_;
  std::vector<ProjectSettings> projects_;
  std::map<std::string, SessionOptions> sessions_;  // by project

  QLineEdit* workdir_;
  QTreeWidget* list_;
  QLineEdit* newproject_;
  QLineEdit* options_;
  QCheckBox* verbose_;
  QLabel* command_;
  QLabel* caption_;
  QProgressBar* bar_;
  QPushButton* cancel_;
  QPushButton* upload_;
  std::vector<QWidget*> idleonly_;  // usable only between commands
};

}  // namespace trosk
