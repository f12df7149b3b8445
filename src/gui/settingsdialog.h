// The settings dialog: one project's entry of the project list (host, user,
// remote directory, suffix, source, backup, release) and what the window
// keeps for the session (port, prompt level, version, credential, platform).
// OK checks them with the command line's rules and offers to save the list.
#pragma once

#include <QDialog>
#include <string>

#include "gui/projectsettings.h"

class QCheckBox;
class QComboBox;
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

  // Stays open when a setting is refused; the alert has said why.
  void accept() override;

 private:
  QLayout* form(const ProjectSettings& settings);
  QLineEdit* field(const char* name, const std::string& value);
  QCheckBox* checkbox(const char* name, const QString& text, bool checked);

  std::string name_;
  Frontend& frontend_;
  std::string workdir_;
  QLineEdit *host_, *port_, *user_, *access_, *remotedir_, *platform_, *suffix_, *prompt_,
      *version_;
  QCheckBox *source_, *backup_;
  QComboBox* release_;
};

}  // namespace trosk
