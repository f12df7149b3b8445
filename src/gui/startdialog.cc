#include "gui/startdialog.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>


namespace trosk {
namespace {

QLineEdit* field(QWidget* parent, const char* name, const QString& placeholder) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setPlaceholderText(placeholder);
  edit->setMinimumWidth(320);
  return edit;
}

bool isweb(const QString& host) {
  return host.startsWith(QLatin1String("http://")) || host.startsWith(QLatin1String("https://"));
}

}  // namespace

StartDialog::StartDialog(bool fromhost, const QString& workdir, QWidget* parent)
    : QDialog(parent), fromhost_(fromhost), workdir_(workdir) {
  setObjectName(QStringLiteral("startdialog"));
  setWindowTitle(fromhost ? QStringLiteral("Get a project from a host")
                          : QStringLiteral("Start a project from files here"));
  auto* form = new QFormLayout;
  name_ = field(this, "name", QStringLiteral("the project's name"));
  name_->setMaxLength(63);
  form->addRow(QStringLiteral("&Project name:"), name_);
  host_ = field(this, "host", fromhost ? QStringLiteral("a directory, or http://host/path")
                                       : QStringLiteral("a directory that holds the host's projects"));
  auto* pick = new QPushButton(QStringLiteral("Di&rectory..."), this);
  connect(pick, &QPushButton::clicked, this, &StartDialog::choosehost);
  auto* hostrow = new QHBoxLayout;
  hostrow->addWidget(host_, 1);
  hostrow->addWidget(pick);
  auto* hostlabel = new QLabel(QStringLiteral("&Host:"), this);
  hostlabel->setBuddy(host_);
  form->addRow(hostlabel, hostrow);
  if (fromhost) {
    login_ = field(this, "login", QStringLiteral("only for a web host that asks for one"));
    password_ = field(this, "password", QStringLiteral("kept for this session only"));
    password_->setEchoMode(QLineEdit::Password);
    form->addRow(QStringLiteral("&Login name:"), login_);
    form->addRow(QStringLiteral("Pass&word:"), password_);
  } else {
    files_ = new QListWidget(this);
    files_->setObjectName(QStringLiteral("files"));
    auto* choose = new QPushButton(QStringLiteral("Choose &files..."), this);
    choose->setObjectName(QStringLiteral("choosefiles"));
    connect(choose, &QPushButton::clicked, this, &StartDialog::choosefiles);
    auto* filebox = new QVBoxLayout;
    filebox->addWidget(files_);
    filebox->addWidget(choose, 0, Qt::AlignLeft);
    form->addRow(QStringLiteral("Files:"), filebox);
    comment_ = field(this, "comment", QStringLiteral("what the first version holds"));
    form->addRow(QStringLiteral("&Comment:"), comment_);
  }
  problem_ = new QLabel(this);
  problem_->setObjectName(QStringLiteral("problem"));
  problem_->setStyleSheet(QStringLiteral("color: #c62828;"));
  problem_->setWordWrap(true);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("ok"));
  buttons->button(QDialogButtonBox::Ok)->setText(fromhost ? QStringLiteral("&Download")
                                                          : QStringLiteral("&Upload"));
  connect(buttons, &QDialogButtonBox::accepted, this, &StartDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(problem_);
  layout->addWidget(buttons);
}

void StartDialog::choosehost() {
  QString dir = QFileDialog::getExistingDirectory(this, QStringLiteral("Host directory"), host_->text());
  if (!dir.isEmpty()) host_->setText(dir);
}

void StartDialog::choosefiles() {
  QStringList chosen = QFileDialog::getOpenFileNames(this, QStringLiteral("Files of the project"), workdir_);
  QDir base(workdir_);
  for (const QString& path : chosen) {
    QString relative = base.relativeFilePath(path);
    if (!relative.startsWith(QLatin1String("..")) && files_->findItems(relative, Qt::MatchExactly).isEmpty())
      files_->addItem(relative);
  }
}

QString StartDialog::problem() const {
  QString name = name_->text().trimmed();
  QString host = host_->text().trimmed();
  if (name.isEmpty()) return QStringLiteral("Give the project a name.");
  if (name.contains(QLatin1Char('/')) || name.startsWith(QLatin1Char('-')))
    return QStringLiteral("A project name has no '/' and does not begin with '-'.");
  if (host.isEmpty()) return QStringLiteral("Name the host.");
  if (!fromhost_ && isweb(host))
    return QStringLiteral("A project is started on a host directory; a web host is only read.");
  if (!isweb(host) && !QFileInfo(host).isDir()) return QStringLiteral("No such directory: ") + host;
  if (fromhost_ && !password_->text().isEmpty() && login_->text().trimmed().isEmpty())
    return QStringLiteral("A password needs its login name.");
  if (!fromhost_ && files_->count() == 0) return QStringLiteral("Choose the files of the first version.");
  return {};
}

void StartDialog::accept() {
  QString why = problem();
  problem_->setText(why);
  if (why.isEmpty()) QDialog::accept();
}

StartChoice StartDialog::choice() const {
  StartChoice c;
  c.name = name_->text().trimmed().toStdString();
  c.host = host_->text().trimmed().toStdString();
  if (fromhost_) {
    c.login = login_->text().trimmed().toStdString();
    c.password = password_->text().toStdString();
  }
  if (!fromhost_) {
    for (int i = 0; i < files_->count(); ++i) c.files.push_back(files_->item(i)->text().toStdString());
    c.comment = comment_->text().trimmed().toStdString();
  }
  return c;
}

}  // namespace trosk
