#include "gui/settingsdialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "config/options.h"
#include "core/runerror.h"

namespace trosk {
namespace {

std::string text(const QLineEdit* field) { return field->text().trimmed().toStdString(); }

}  // namespace

QLineEdit* SettingsDialog::field(const char* name, const std::string& value) {
  auto* edit = new QLineEdit(QString::fromStdString(value), this);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setMinimumWidth(320);
  return edit;
}

SettingsDialog::SettingsDialog(const ProjectSettings& s, Frontend& frontend, std::string workdir,
                               QWidget* parent)
    : QDialog(parent), name_(s.name), frontend_(frontend), workdir_(std::move(workdir)) {
  setObjectName(QStringLiteral("settings"));
  setWindowTitle(QStringLiteral("Trosk settings: ") + QString::fromStdString(s.name));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("ok"));
  buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancel"));
  connect(buttons, &QDialogButtonBox::accepted, this, &SettingsDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form(s));
  auto* note = new QLabel(QStringLiteral("Port, credential, platform, prompt level and version are "
                                         "kept for this session and given to each command; the "
                                         "other settings are saved in the project list."),
                          this);
  note->setWordWrap(true);
  layout->addWidget(note);
  layout->addWidget(buttons);
}

QCheckBox* SettingsDialog::checkbox(const char* name, const QString& text, bool checked) {
  auto* box = new QCheckBox(text, this);
  box->setObjectName(QString::fromLatin1(name));
  box->setChecked(checked);
  return box;
}

QLayout* SettingsDialog::form(const ProjectSettings& s) {
  host_ = field("host", s.host);
  port_ = field("port", s.session.port);
  user_ = field("user", s.user);
  access_ = field("access", s.session.access);
  access_->setEchoMode(QLineEdit::Password);
  remotedir_ = field("remotedir", s.remotedir);
  platform_ = field("platform", s.session.platform);
  suffix_ = field("suffix", s.suffix);
  prompt_ = field("prompt", s.session.prompt);
  version_ = field("version", s.session.version);
  source_ = checkbox("source", QStringLiteral("Source project (uploads allowed)"), s.source);
  backup_ = checkbox("backup", QStringLiteral("Back up files a download replaces"), s.backup);
  release_ = new QComboBox(this);
  release_->setObjectName(QStringLiteral("release"));
  release_->addItem(QStringLiteral("(as the host says: stable)"), 0);
  release_->addItem(QStringLiteral("stable"), kReleaseStable);
  release_->addItem(QStringLiteral("beta"), kReleaseBeta);
  release_->addItem(QStringLiteral("alpha"), kReleaseAlpha);
  release_->setCurrentIndex(std::max(0, release_->findData(s.release)));

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Host:"), host_);
  form->addRow(QStringLiteral("Port:"), port_);
  form->addRow(QStringLiteral("User:"), user_);
  form->addRow(QStringLiteral("Access credential:"), access_);
  form->addRow(QStringLiteral("Remote directory:"), remotedir_);
  form->addRow(QStringLiteral("Platform:"), platform_);
  form->addRow(QStringLiteral("Suffix:"), suffix_);
  form->addRow(QString(), source_);
  form->addRow(QString(), backup_);
  form->addRow(QStringLiteral("Prompt level:"), prompt_);
  form->addRow(QStringLiteral("Release:"), release_);
  form->addRow(QStringLiteral("Version (V or V/S):"), version_);
  return form;
}

ProjectSettings SettingsDialog::settings() const {
  ProjectSettings s;
  s.name = name_;
  s.host = text(host_);
  s.user = text(user_);
  s.remotedir = text(remotedir_);
  s.suffix = text(suffix_);
  s.source = source_->isChecked();
  s.backup = backup_->isChecked();
  s.release = release_->currentData().toInt();
  s.session.port = text(port_);
  s.session.prompt = text(prompt_);
  s.session.version = text(version_);
  s.session.access = text(access_);
  s.session.platform = text(platform_);
  return s;
}

void SettingsDialog::accept() {
  ProjectSettings s = settings();
  try {
    checksettings(frontend_, s);
  } catch (const RunError&) {
    return;
  }
  savesettings(frontend_, workdir_, s);
  QDialog::accept();
}

}  // namespace trosk
