// The first steps in a directory that follows no project: getting a
// project from a host (its name, the host, and a login for a web host that
// asks for one), or starting one from files here on a host directory (its
// name, the directory, the files and the first version's comment).
#pragma once

#include <QDialog>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;

namespace trosk {

struct StartChoice {
  std::string name;
  std::string host;
  std::string login, password;     // for a web host that asks for them; empty for none
  std::vector<std::string> files;  // relative to the working directory
  std::string comment;
};

class StartDialog : public QDialog {
  Q_OBJECT

 public:
  StartDialog(bool fromhost, const QString& workdir, QWidget* parent);
  StartChoice choice() const;

  // Stays open, saying why, while a field is missing or wrong.
  void accept() override;

 private:
  QString problem() const;
  void choosehost();
  void choosefiles();

  bool fromhost_;
  QString workdir_;
  QLineEdit *name_, *host_, *login_ = nullptr, *password_ = nullptr, *comment_ = nullptr;
  QListWidget* files_ = nullptr;
  QLabel* problem_;
};

}  // namespace trosk
