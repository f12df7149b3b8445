// The settings dialog: one project's entry of the project list (host, user,
// remote directory, suffix, source, backup, release) and what the window
// keeps for the session (port, login and password, platform, prompt level,
// version). OK checks them, names a bad one in the dialog, and offers to save the list.
#pragma once

#include <QDialog>
#include <string>

#include "gui/projectsettings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLayout;
class QLineEdit;

namespace trosk {

class SettingsDialog : public QDialog {
  Q_OBJECT

 public:
  // Asks through `frontend`; the list saved is that of `workdir`.
  SettingsDialog(const ProjectSettings& settings, Frontend& frontend, std::string workdir,
                 QWidget* parent);
  ProjectSettings settings() const;

  // Stays open on a bad setting, with the field marked and the reason shown.
  void accept() override;

 private:
  QLayout* form(const ProjectSettings& settings);
  QLineEdit* field(const char* name, const std::string& value, const char* placeholder = "");
  QCheckBox* checkbox(const char* name, const QString& text, bool checked);
  QComboBox* combo(const char* name);
  void showproblem(const SettingsProblem* problem);

  ProjectSettings shown_;  // what the dialog does not show is kept as it came
  Frontend& frontend_;
  std::string workdir_;
  QLineEdit *host_, *port_, *user_, *login_, *password_, *remotedir_, *platform_, *suffix_,
      *version_;
  QCheckBox *source_, *backup_;
  QComboBox *prompt_, *release_;
  QLabel* problem_;
  QWidget* marked_ = nullptr;
};

}  // namespace trosk
