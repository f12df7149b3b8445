#include "gui/projectdialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "config/banner.h"
#include "gui/settingsdialog.h"
#include "gui/textviewer.h"
#include "gui/windowfrontend.h"

namespace trosk {
namespace {

QString qstr(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

// A widget with its name (how tests find it), usable only between commands.
template <class W>
W* ProjectDialog::idle(W* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  idleonly_.push_back(widget);
  return widget;
}

QPushButton* ProjectDialog::button(const char* name, const QString& text) {
  return idle(new QPushButton(text, this), name);
}

QPushButton* ProjectDialog::commandbutton(const char* name, const QString& text, Command command) {
  QPushButton* b = button(name, text);
  connect(b, &QPushButton::clicked, this, [this, command] { run(command); });
  return b;
}

ProjectDialog::ProjectDialog(WindowFrontend& frontend, QWidget* parent)
    : QWidget(parent), frontend_(frontend), runner_(frontend) {
  setObjectName(QStringLiteral("projectdialog"));
  setWindowTitle(QStringLiteral("Trosk"));
  resize(720, 520);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(directoryrow());
  layout->addWidget(new QLabel(QStringLiteral("Projects of the working directory:"), this));
  layout->addWidget(projectlist(), 1);
  layout->addLayout(fields());
  layout->addLayout(buttons());
  command_ = new QLabel(this);
  command_->setObjectName(QStringLiteral("command"));
  command_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(command_);
  layout->addLayout(progressrow());

  connect(&frontend_, &WindowFrontend::progressed, this, &ProjectDialog::showprogress);
  connect(&frontend_, &WindowFrontend::captioned, caption_, &QLabel::setText);
  connect(&runner_, &CommandRunner::finished, this, &ProjectDialog::finished);
  frontend_.setwindow(this);
}

QLayout* ProjectDialog::directoryrow() {
  workdir_ = new QLineEdit(this);
  workdir_->setObjectName(QStringLiteral("workdir"));
  workdir_->setReadOnly(true);
  QPushButton* browse = button("browse", QStringLiteral("&Browse..."));
  connect(browse, &QPushButton::clicked, this, &ProjectDialog::browse);
  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel(QStringLiteral("Working directory:"), this));
  row->addWidget(workdir_, 1);
  row->addWidget(browse);
  return row;
}

QWidget* ProjectDialog::projectlist() {
  list_ = idle(new QTreeWidget(this), "projects");
  list_->setHeaderLabels({QStringLiteral("Project"), QStringLiteral("Host"), QStringLiteral("Kind")});
  list_->setRootIsDecorated(false);
  list_->header()->setStretchLastSection(false);
  list_->header()->setSectionResizeMode(1, QHeaderView::Stretch);
  // One project at a time: choosing a row clears the typed name, typing clears the choice.
  connect(list_, &QTreeWidget::itemSelectionChanged, this, [this] {
    if (!list_->selectedItems().isEmpty()) newproject_->clear();
    updatebuttons();
  });
  return list_;
}

QLayout* ProjectDialog::fields() {
  newproject_ = idle(new QLineEdit(this), "newproject");
  newproject_->setPlaceholderText(QStringLiteral("a project not listed yet"));
  connect(newproject_, &QLineEdit::textEdited, this, [this] {
    list_->clearSelection();
    updatebuttons();
  });
  options_ = idle(new QLineEdit(this), "options");
  options_->setPlaceholderText(QStringLiteral("further command-line options, e.g. -comment \"fix\""));
  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel(QStringLiteral("New project:"), this), 0, 0);
  grid->addWidget(newproject_, 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("Options:"), this), 1, 0);
  grid->addWidget(options_, 1, 1);
  return grid;
}

QLayout* ProjectDialog::buttons() {
  upload_ = commandbutton("upload", QStringLiteral("&Upload"), Command::kUpload);
  verbose_ = idle(new QCheckBox(QStringLiteral("&Verbose"), this), "verbose");
  QPushButton* settings = button("settings", QStringLiteral("S&ettings"));
  QPushButton* about = button("about", QStringLiteral("&About"));
  QPushButton* exit = button("exit", QStringLiteral("E&xit"));
  connect(settings, &QPushButton::clicked, this, &ProjectDialog::opensettings);
  connect(about, &QPushButton::clicked, this, &ProjectDialog::about);
  connect(exit, &QPushButton::clicked, this, &QWidget::close);
  auto* grid = new QGridLayout;
  grid->addWidget(commandbutton("status", QStringLiteral("&Status"), Command::kStatus), 0, 0);
  grid->addWidget(commandbutton("download", QStringLiteral("&Download"), Command::kDownload), 0, 1);
  grid->addWidget(upload_, 0, 2);
  grid->addWidget(settings, 0, 3);
  grid->addWidget(commandbutton("show", QStringLiteral("Show &Versions"), Command::kShowVersions), 1, 0);
  grid->addWidget(commandbutton("log", QStringLiteral("Show &Log"), Command::kShowLog), 1, 1);
  grid->addWidget(commandbutton("verify", QStringLiteral("Verify L&ocal"), Command::kVerify), 1, 2);
  grid->addWidget(verbose_, 1, 3);
  grid->addWidget(commandbutton("help", QStringLiteral("&Help"), Command::kHelp), 2, 0);
  grid->addWidget(about, 2, 1);
  grid->addWidget(exit, 2, 3);
  return grid;
}

QLayout* ProjectDialog::progressrow() {
  caption_ = new QLabel(this);
  caption_->setObjectName(QStringLiteral("caption"));
  caption_->setMinimumWidth(220);
  bar_ = new QProgressBar(this);
  bar_->setObjectName(QStringLiteral("progress"));
  bar_->setRange(0, 100);
  bar_->reset();
  cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  cancel_->setObjectName(QStringLiteral("cancel"));
  cancel_->setEnabled(false);
  connect(cancel_, &QPushButton::clicked, this, [this] {
    runner_.cancel();
    cancel_->setEnabled(false);
  });
  auto* row = new QHBoxLayout;
  row->addWidget(caption_);
  row->addWidget(bar_, 1);
  row->addWidget(cancel_);
  return row;
}

bool ProjectDialog::setworkdir(const QString& dir) {
  if (runner_.busy()) return false;
  QFileInfo info(dir);
  if (!info.isDir() || !info.isExecutable()) {
    frontend_.alert(("Cannot enter the working directory: " + dir).toStdString());
    return false;
  }
  workdir_->setText(info.canonicalFilePath());
  sessions_.clear();
  reloadprojects();
  return true;
}

std::string ProjectDialog::project() const {
  std::string typed = newproject_->text().trimmed().toStdString();
  if (!typed.empty()) return typed;
  QList<QTreeWidgetItem*> chosen = list_->selectedItems();
  return chosen.isEmpty() ? std::string() : chosen.first()->text(0).toStdString();
}

std::string ProjectDialog::workdir() const { return workdir_->text().toStdString(); }

const ProjectSettings* ProjectDialog::listed(const std::string& name) const {
  for (const ProjectSettings& p : projects_) {
    if (p.name == name) return &p;
  }
  return nullptr;
}

void ProjectDialog::reloadprojects() {
  std::string chosen = newproject_->text().isEmpty() ? project() : std::string();
  projects_ = listedprojects(workdir());
  list_->clear();
  for (const ProjectSettings& p : projects_) {
    auto* item = new QTreeWidgetItem(list_, {qstr(p.name), qstr(p.host),
                                             p.source ? QStringLiteral("source") : QString()});
    if (p.name == chosen) item->setSelected(true);
  }
  if (list_->selectedItems().isEmpty() && list_->topLevelItemCount() == 1 &&
      newproject_->text().isEmpty()) {
    list_->topLevelItem(0)->setSelected(true);
  }
  list_->resizeColumnToContents(0);
  updatebuttons();
}

void ProjectDialog::updatebuttons() {
  bool idle = !runner_.busy();
  for (QWidget* w : idleonly_) w->setEnabled(idle);
  const ProjectSettings* p = listed(project());
  upload_->setEnabled(idle && p && p->source);
}

void ProjectDialog::run(Command command) {
  std::string name = project();
  auto kept = sessions_.find(name);
  SessionOptions options = kept != sessions_.end() ? kept->second : SessionOptions{};
  options.verbose = verbose_->isChecked();
  options.more = options_->text().toStdString();
  std::vector<std::string> words = commandwords(command, name, options);
  command_->setText(QStringLiteral("Command: ") + qstr(joinwords(words)));
  if (runner_.start(std::move(words), name, workdir())) updatebuttons();
}

void ProjectDialog::finished() {
  showprogress(-1);
  caption_->clear();
  reloadprojects();
  showoutput(this, workdir_->text());
}

void ProjectDialog::showprogress(int percent) {
  if (percent < 0) {
    bar_->reset();
  } else {
    bar_->setValue(percent);
  }
  cancel_->setEnabled(percent >= 0 && runner_.busy());
}

void ProjectDialog::opensettings() {
  std::string name = project();
  if (name.empty()) {
    frontend_.alert("Choose a project, or type the name of a new one, to see its settings.");
    return;
  }
  const ProjectSettings* p = listed(name);
  ProjectSettings shown = p ? *p : ProjectSettings{};
  shown.name = name;
  if (auto kept = sessions_.find(name); kept != sessions_.end()) shown.session = kept->second;
  auto* dialog = new SettingsDialog(shown, frontend_, workdir(), this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  connect(dialog, &QDialog::accepted, this, [this, dialog] {
    ProjectSettings chosen = dialog->settings();
    sessions_[chosen.name] = chosen.session;
    reloadprojects();
  });
  dialog->open();
}

void ProjectDialog::browse() {
  QString dir = QFileDialog::getExistingDirectory(this, QStringLiteral("Working directory"),
                                                  workdir_->text());
  if (!dir.isEmpty()) setworkdir(dir);
}

void ProjectDialog::about() {
  QMessageBox box(QMessageBox::Information, QStringLiteral("About Trosk"),
                  QString::asprintf("Trosk -- Version %.2f", static_cast<double>(programVersion)),
                  QMessageBox::Ok, this);
  box.setObjectName(QStringLiteral("about"));
  box.setInformativeText(QStringLiteral(
      "Keeps the files of a project in step with a host that stores every uploaded version "
      "and never overwrites one. Each button runs the command of the same name of the command "
      "line trosk."));
  box.exec();
}

void ProjectDialog::closeEvent(QCloseEvent* event) {
  // The worker may be waiting for an answer: the window goes when it is done.
  if (runner_.busy()) {
    event->ignore();
  } else {
    event->accept();
  }
}

}  // namespace trosk
