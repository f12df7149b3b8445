#include "gui/settingsdialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "config/options.h"

namespace trosk {
namespace {

std::string text(const QLineEdit* field) { return field->text().trimmed().toStdString(); }

// The frame of a field the dialog refuses; set through the "problem" property.
constexpr const char* kProblemStyle = "QLineEdit[problem=\"true\"] { border: 2px solid #c62828; }";

void setmarked(QWidget* field, bool marked) {
  field->setProperty("problem", marked);
  field->style()->unpolish(field);
  field->style()->polish(field);
}

}  // namespace

QLineEdit* SettingsDialog::field(const char* name, const std::string& value,
                                 const char* placeholder) {
  auto* edit = new QLineEdit(QString::fromStdString(value), this);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setPlaceholderText(QString::fromUtf8(placeholder));
  edit->setMinimumWidth(320);
  return edit;
}

SettingsDialog::SettingsDialog(const ProjectSettings& s, Frontend& frontend, std::string workdir,
                               QWidget* parent)
    : QDialog(parent), shown_(s), frontend_(frontend), workdir_(std::move(workdir)) {
  setObjectName(QStringLiteral("settings"));
  setWindowTitle(QStringLiteral("Trosk settings: ") + QString::fromStdString(s.name));
  setStyleSheet(QString::fromLatin1(kProblemStyle));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("ok"));
  buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancel"));
  connect(buttons, &QDialogButtonBox::accepted, this, &SettingsDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  problem_ = new QLabel(this);
  problem_->setObjectName(QStringLiteral("problem"));
  problem_->setWordWrap(true);
  problem_->setStyleSheet(QStringLiteral("color: #c62828;"));
  problem_->hide();
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form(s));
  auto* note = new QLabel(QStringLiteral("Port, login name, password, platform, prompt level and "
                                         "version are kept for this session and given to each "
                                         "command; the password is never saved. The other settings "
                                         "are saved in the project list."),
                          this);
  note->setWordWrap(true);
  layout->addWidget(note);
  layout->addWidget(problem_);
  layout->addWidget(buttons);
}

QCheckBox* SettingsDialog::checkbox(const char* name, const QString& text, bool checked) {
  auto* box = new QCheckBox(text, this);
  box->setObjectName(QString::fromLatin1(name));
  box->setChecked(checked);
  return box;
}

QComboBox* SettingsDialog::combo(const char* name) {
  auto* box = new QComboBox(this);
  box->setObjectName(QString::fromLatin1(name));
  return box;
}

QLayout* SettingsDialog::form(const ProjectSettings& s) {
  const SessionOptions& o = s.session;
  host_ = field("host", s.host);
  host_->setFocus();  // the dialog opens ready for typing
  port_ = field("port", o.port, "80 (443 for https)");
  user_ = field("user", s.user);
  login_ = field("login", o.login, "none");
  password_ = field("password", "", "kept for this session only");
  password_->setEchoMode(QLineEdit::Password);
  password_->setText(QString::fromStdString(o.password));  // only after the echo mode: never clear
  remotedir_ = field("remotedir", s.remotedir, "trosk");
  platform_ = field("platform", o.platform, "any");
  suffix_ = field("suffix", s.suffix, "none");
  version_ = field("version", o.version, "the release's version");
  source_ = checkbox("source", QStringLiteral("Source project (uploads allowed)"), s.source);
  backup_ = checkbox("backup", QStringLiteral("Back up files a download replaces"), s.backup);
  prompt_ = combo("prompt");
  prompt_->addItem(QStringLiteral("Ask before each overwrite (1)"), 1);
  prompt_->addItem(QStringLiteral("Ask nothing except for large files (0)"), 0);
  prompt_->setCurrentIndex(std::max(0, prompt_->findData(o.prompt)));
  release_ = combo("release");
  release_->addItem(QStringLiteral("(as the host says: stable)"), 0);
  release_->addItem(QStringLiteral("stable"), kReleaseStable);
  release_->addItem(QStringLiteral("beta"), kReleaseBeta);
  release_->addItem(QStringLiteral("alpha"), kReleaseAlpha);
  release_->setCurrentIndex(std::max(0, release_->findData(s.release)));

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Host:"), host_);
  form->addRow(QStringLiteral("Port:"), port_);
  form->addRow(QStringLiteral("User:"), user_);
  form->addRow(QStringLiteral("Login name (web host):"), login_);
  form->addRow(QStringLiteral("Password:"), password_);
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
  ProjectSettings s = shown_;
  s.host = text(host_);
  s.user = text(user_);
  s.remotedir = text(remotedir_);
  s.suffix = text(suffix_);
  s.source = source_->isChecked();
  s.backup = backup_->isChecked();
  s.release = release_->currentData().toInt();
  s.session.port = text(port_);
  s.session.prompt = prompt_->currentData().toInt();
  s.session.version = text(version_);
  s.session.login = text(login_);
  s.session.password = password_->text().toStdString();  // blanks may belong to it
  s.session.platform = text(platform_);
  return s;
}

void SettingsDialog::showproblem(const SettingsProblem* problem) {
  if (marked_) setmarked(marked_, false);
  marked_ = problem ? findChild<QWidget*>(QString::fromStdString(problem->field)) : nullptr;
  problem_->setVisible(problem != nullptr);
  problem_->setText(problem ? QString::fromStdString(problem->message) : QString());
  if (!marked_) return;
  setmarked(marked_, true);
  marked_->setFocus();
}

void SettingsDialog::accept() {
  ProjectSettings s = settings();
  std::optional<SettingsProblem> problem = findproblem(s);
  showproblem(problem ? &*problem : nullptr);
  if (problem) return;
  savesettings(frontend_, workdir_, s);
  QDialog::accept();
}

}  // namespace trosk
