#include "gui/projectdialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QDirIterator>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableView>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <optional>
#include <utility>

#include "config/banner.h"
#include "core/output.h"
#include "core/runerror.h"
#include "gui/filelist.h"
#include "gui/questiondialog.h"
#include "gui/settingsdialog.h"
#include "gui/startdialog.h"
#include "gui/textviewer.h"
#include "gui/unpack.h"
#include "gui/versionlist.h"
#include "gui/windowfrontend.h"

namespace trosk {
namespace {

constexpr int kRecentKept = 10;
const char* const kRecentKey = "recentWorkingDirectories";

QString qstr(const std::string& text) { return QString::fromStdString(text); }

// A label that wraps and never asks for more width than the window has.
QLabel* flowlabel(QWidget* parent, const char* name) {
  auto* label = new QLabel(parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setWordWrap(true);
  label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return label;
}

QString transferof(Command command) {
  switch (command) {
    case Command::kDownload: return QStringLiteral("download");
    case Command::kUpload: return QStringLiteral("upload");
    default: return {};
  }
}

bool fillsfiles(Command command) {
  return command == Command::kStatus || command == Command::kDownload ||
         command == Command::kUpload;
}

// The last line of the output that says something, for commands whose
// result is only text.
QString lastline(const QString& workdir) {
  QFile file(workdir + QLatin1Char('/') + QString::fromLatin1(kOutputFileName));
  if (!file.open(QIODevice::ReadOnly)) return {};
  QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
  for (qsizetype i = lines.size() - 1; i >= 0; --i) {
    QString line = lines[i].trimmed();
    if (!line.isEmpty() && !line.startsWith(QLatin1Char('[')) && !line.startsWith(QLatin1String("Trosk --")))
      return line;
  }
  return {};
}

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

// Widgets are made in the order Tab moves through them.
ProjectDialog::ProjectDialog(WindowFrontend& frontend, QWidget* parent)
    : QWidget(parent), frontend_(frontend), runner_(frontend) {
  setObjectName(QStringLiteral("projectdialog"));
  setWindowTitle(QStringLiteral("Trosk"));
  setAcceptDrops(true);
  resize(900, 620);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(directoryrow());
  auto* middle = new QHBoxLayout;
  auto* left = new QVBoxLayout;
  left->addLayout(projectfields());
  left->addWidget(results(), 1);
  middle->addLayout(left, 1);
  middle->addLayout(buttons());
  layout->addLayout(middle, 1);
  command_ = flowlabel(this, "command");
  layout->addWidget(command_);
  layout->addLayout(progressrow());
  layout->addLayout(resultrow());

  connect(&frontend_, &WindowFrontend::progressed, this, &ProjectDialog::showprogress);
  connect(&frontend_, &WindowFrontend::captioned, caption_, &QLabel::setText);
  connect(&frontend_, &WindowFrontend::eventsready, this, &ProjectDialog::takeevents,
          Qt::QueuedConnection);
  connect(&frontend_, &WindowFrontend::versionsready, this, &ProjectDialog::takeversions,
          Qt::QueuedConnection);
  connect(&frontend_, &WindowFrontend::asking, this, &ProjectDialog::asking, Qt::QueuedConnection);
  // Direct: the worker reads the request as soon as the dialog returns.
  connect(&frontend_, &WindowFrontend::questioncancelled, this, [this] { runner_.cancel(); },
          Qt::DirectConnection);
  connect(&runner_, &CommandRunner::finished, this, &ProjectDialog::finished);
  frontend_.setwindow(this);
}

QLayout* ProjectDialog::directoryrow() {
  workdir_ = idle(new QComboBox(this), "workdir");
  workdir_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  workdir_->setMinimumContentsLength(20);
  workdir_->setToolTip(QStringLiteral("The working directory, and those used before"));
  connect(workdir_, &QComboBox::activated, this, [this](int index) {
    QString chosen = workdir_->itemText(index);
    if (chosen != qstr(workdir()) && !setworkdir(chosen)) reloadprojects();
  });
  QPushButton* browse = button("browse", QStringLiteral("&Browse..."));
  connect(browse, &QPushButton::clicked, this, &ProjectDialog::browse);
  auto* label = new QLabel(QStringLiteral("&Working directory:"), this);
  label->setBuddy(workdir_);
  auto* row = new QHBoxLayout;
  row->addWidget(label);
  row->addWidget(workdir_, 1);
  row->addWidget(browse);
  return row;
}

QLayout* ProjectDialog::projectfields() {
  list_ = idle(new QTreeWidget(this), "projects");
  list_->setHeaderLabels({QStringLiteral("Project"), QStringLiteral("Host"), QStringLiteral("Kind")});
  list_->setRootIsDecorated(false);
  list_->setMaximumHeight(120);
  list_->header()->setStretchLastSection(false);
  list_->header()->setSectionResizeMode(1, QHeaderView::Stretch);
  // The chosen row stays plain to see when the focus is elsewhere.
  QPalette keep = list_->palette();
  keep.setColor(QPalette::Inactive, QPalette::Highlight, keep.color(QPalette::Active, QPalette::Highlight));
  keep.setColor(QPalette::Inactive, QPalette::HighlightedText,
                keep.color(QPalette::Active, QPalette::HighlightedText));
  list_->setPalette(keep);
  // One project at a time: choosing a row clears the typed name, typing clears the choice.
  connect(list_, &QTreeWidget::itemSelectionChanged, this, [this] {
    if (!list_->selectedItems().isEmpty()) newproject_->clear();
    updatebuttons();
  });
  newproject_ = idle(new QLineEdit(this), "newproject");
  newproject_->setPlaceholderText(QStringLiteral("a project not listed yet"));
  connect(newproject_, &QLineEdit::textEdited, this, [this] {
    list_->clearSelection();
    updatebuttons();
  });
  options_ = idle(new QLineEdit(this), "options");
  options_->setPlaceholderText(QStringLiteral("further command-line options, e.g. -status 1"));
  actson_ = flowlabel(this, "actson");

  auto* projects = new QLabel(QStringLiteral("Pro&jects of the working directory:"), this);
  projects->setBuddy(list_);
  auto* grid = new QGridLayout;
  grid->addWidget(projects, 0, 0, 1, 2);
  grid->addWidget(list_, 1, 0, 1, 2);
  auto* name = new QLabel(QStringLiteral("&New project:"), this);
  name->setBuddy(newproject_);
  grid->addWidget(name, 2, 0);
  grid->addWidget(newproject_, 2, 1);
  auto* more = new QLabel(QStringLiteral("O&ptions:"), this);
  more->setBuddy(options_);
  grid->addWidget(more, 3, 0);
  grid->addWidget(options_, 3, 1);
  grid->addWidget(actson_, 4, 0, 1, 2);
  return grid;
}

QWidget* ProjectDialog::results() {
  pages_ = new QStackedWidget(this);
  pages_->setObjectName(QStringLiteral("pages"));
  tabs_ = new QTabWidget(this);
  tabs_->setObjectName(QStringLiteral("tabs"));
  tabs_->addTab(fileview(), QStringLiteral("Files"));
  tabs_->addTab(versionview(), QStringLiteral("Versions"));
  pages_->addWidget(tabs_);
  pages_->addWidget(emptypage());
  return pages_;
}

QWidget* ProjectDialog::emptypage() {
  auto* page = new QWidget(this);
  page->setObjectName(QStringLiteral("emptypage"));
  auto* text = new QLabel(QStringLiteral(
      "<h3>No project is followed in this directory yet</h3>"
      "<p>A project is a set of files kept in step with a host: a directory (on this machine or "
      "a network share) or a web site that keeps every uploaded version.</p>"
      "<p><b>Get a project from a host</b> if one exists already: its files are downloaded "
      "here.<br><b>Start a project from files here</b> to put files of this directory on a "
      "host directory as the project's first version.</p>"
      "<p>Or choose another working directory above. Files can also be dragged onto this "
      "window to add them to a source project.</p>"), page);
  text->setWordWrap(true);
  text->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  QPushButton* get = button("getproject", QStringLiteral("Get a project fro&m a host..."));
  QPushButton* make = button("startproject", QStringLiteral("Start a project from &files here..."));
  connect(get, &QPushButton::clicked, this, [this] { startproject(true); });
  connect(make, &QPushButton::clicked, this, [this] { startproject(false); });
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(text);
  auto* row = new QHBoxLayout;
  row->addWidget(get);
  row->addWidget(make);
  row->addStretch(1);
  layout->addLayout(row);
  layout->addStretch(1);
  return page;
}

QWidget* ProjectDialog::fileview() {
  auto* page = new QWidget(this);
  files_ = new FileListModel(this);
  filter_ = new FileFilter(this);
  filter_->setSourceModel(files_);
  auto* show = idle(new QComboBox(page), "filter");
  show->addItem(QStringLiteral("All files"), QString());
  show->addItem(QStringLiteral("Files that differ"), QStringLiteral("differing"));
  for (const char* state : {"Modified", "Missing", "New", "Newer on host", "Conflict", "Unchanged"}) {
    show->addItem(QString::fromLatin1(state), QString::fromLatin1(state));
  }
  // What differs first: the unchanged files are one choice away.
  connect(show, &QComboBox::currentIndexChanged, this,
          [this, show](int index) { filter_->setstate(show->itemData(index).toString()); });
  show->setCurrentIndex(1);
  fileview_ = new QTableView(page);
  fileview_->setObjectName(QStringLiteral("files"));
  fileview_->setModel(filter_);
  fileview_->setSortingEnabled(true);
  fileview_->sortByColumn(FileListModel::kFile, Qt::AscendingOrder);
  fileview_->setSelectionBehavior(QAbstractItemView::SelectRows);
  fileview_->setSelectionMode(QAbstractItemView::SingleSelection);
  fileview_->setContextMenuPolicy(Qt::CustomContextMenu);
  fileview_->verticalHeader()->hide();
  fileview_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  fileview_->horizontalHeader()->setSectionResizeMode(FileListModel::kOutcome, QHeaderView::Stretch);
  // Fixed widths: measuring 100,000 rows would cost more than the rows.
  int date = fontMetrics().horizontalAdvance(QStringLiteral("00/00/00 00:00:00")) + 16;
  int size = fontMetrics().horizontalAdvance(QStringLiteral("000,000,000")) + 16;
  fileview_->setColumnWidth(FileListModel::kState, 130);
  fileview_->setColumnWidth(FileListModel::kFile, 200);
  fileview_->setColumnWidth(FileListModel::kLocalDate, date);
  fileview_->setColumnWidth(FileListModel::kHostDate, date);
  fileview_->setColumnWidth(FileListModel::kLocalSize, size);
  fileview_->setColumnWidth(FileListModel::kHostSize, size);
  fileview_->setWordWrap(false);
  connect(fileview_, &QWidget::customContextMenuRequested, this, &ProjectDialog::filemenu);
  auto* label = new QLabel(QStringLiteral("Show:"), page);
  label->setBuddy(show);
  auto* row = new QHBoxLayout;
  row->addWidget(label);
  row->addWidget(show);
  row->addStretch(1);
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addLayout(row);
  layout->addWidget(fileview_, 1);
  return page;
}

QWidget* ProjectDialog::versionview() {
  auto* page = new QWidget(this);
  versions_ = new VersionListModel(this);
  versionview_ = new QTableView(page);
  versionview_->setObjectName(QStringLiteral("versions"));
  versionview_->setModel(versions_);
  versionview_->setSelectionBehavior(QAbstractItemView::SelectRows);
  versionview_->setSelectionMode(QAbstractItemView::SingleSelection);
  versionview_->verticalHeader()->hide();
  versionview_->setWordWrap(false);
  versionview_->horizontalHeader()->setSectionResizeMode(VersionListModel::kComment, QHeaderView::Stretch);
  QPushButton* get = button("downloadversion", QStringLiteral("Download this ve&rsion"));
  connect(get, &QPushButton::clicked, this, &ProjectDialog::downloadversion);
  connect(versionview_, &QAbstractItemView::activated, this, &ProjectDialog::downloadversion);
  auto* note = new QLabel(QStringLiteral("Show Versions lists the host's versions here."), page);
  auto* row = new QHBoxLayout;
  row->addWidget(note, 1);
  row->addWidget(get);
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(versionview_, 1);
  layout->addLayout(row);
  return page;
}

QLayout* ProjectDialog::buttons() {
  auto* column = new QVBoxLayout;
  column->addWidget(commandbutton("status", QStringLiteral("&Status"), Command::kStatus));
  column->addWidget(commandbutton("download", QStringLiteral("&Download"), Command::kDownload));
  upload_ = commandbutton("upload", QStringLiteral("&Upload"), Command::kUpload);
  column->addWidget(upload_);
  addfiles_ = button("addfiles", QStringLiteral("Add f&iles..."));
  connect(addfiles_, &QPushButton::clicked, this, &ProjectDialog::chooseaddfiles);
  column->addWidget(addfiles_);
  column->addWidget(commandbutton("show", QStringLiteral("Show &Versions"), Command::kShowVersions));
  column->addWidget(commandbutton("log", QStringLiteral("Show &Log"), Command::kShowLog));
  column->addWidget(commandbutton("verify", QStringLiteral("Verify L&ocal"), Command::kVerify));
  column->addSpacing(12);
  QPushButton* settings = button("settings", QStringLiteral("Settin&gs..."));
  connect(settings, &QPushButton::clicked, this, &ProjectDialog::opensettings);
  column->addWidget(settings);
  verbose_ = idle(new QCheckBox(QStringLiteral("Verbos&e output"), this), "verbose");
  column->addWidget(verbose_);
  column->addStretch(1);
  QPushButton* help = button("help", QStringLiteral("&Help"));
  connect(help, &QPushButton::clicked, this, &ProjectDialog::help);
  column->addWidget(help);
  QPushButton* about = button("about", QStringLiteral("&About"));
  connect(about, &QPushButton::clicked, this, &ProjectDialog::about);
  column->addWidget(about);
  QPushButton* exit = button("exit", QStringLiteral("E&xit"));
  connect(exit, &QPushButton::clicked, this, &QWidget::close);
  column->addWidget(exit);
  return column;
}

QLayout* ProjectDialog::progressrow() {
  caption_ = flowlabel(this, "caption");
  caption_->setWordWrap(false);
  bar_ = new QProgressBar(this);
  bar_->setObjectName(QStringLiteral("progress"));
  bar_->setRange(0, 100);
  bar_->reset();
  cancel_ = new QPushButton(QStringLiteral("&Cancel"), this);
  cancel_->setObjectName(QStringLiteral("cancel"));
  cancel_->setEnabled(false);
  connect(cancel_, &QPushButton::clicked, this, [this] {
    runner_.cancel();
    cancel_->setEnabled(false);
    caption_->setText(QStringLiteral("Cancelling..."));
  });
  auto* row = new QHBoxLayout;
  row->addWidget(caption_, 1);
  row->addWidget(bar_, 1);
  row->addWidget(cancel_);
  return row;
}

QLayout* ProjectDialog::resultrow() {
  result_ = flowlabel(this, "result");
  QPushButton* output = button("showoutput", QStringLiteral("Show ou&tput"));
  output->setToolTip(QStringLiteral("The full text the last command printed"));
  connect(output, &QPushButton::clicked, this, &ProjectDialog::showfulloutput);
  auto* row = new QHBoxLayout;
  row->addWidget(result_, 1);
  row->addWidget(output);
  return row;
}

bool ProjectDialog::setworkdir(const QString& dir) {
  if (runner_.busy()) return false;
  QFileInfo info(dir);
  if (!info.isDir() || !info.isExecutable()) {
    frontend_.alert(("Cannot enter the working directory: " + dir).toStdString());
    return false;
  }
  remember(info.canonicalFilePath());
  sessions_.clear();
  newproject_->clear();
  command_->clear();
  result_->clear();
  files_->clear();
  versions_->clear();
  rowsfor_.clear();
  reloadprojects();
  return true;
}

void ProjectDialog::remember(const QString& dir) {
  QSettings store;
  QStringList recent = store.value(QLatin1String(kRecentKey)).toStringList();
  recent.removeAll(dir);
  recent.prepend(dir);
  while (recent.size() > kRecentKept) recent.removeLast();
  store.setValue(QLatin1String(kRecentKey), recent);
  workdir_->clear();
  for (const QString& d : recent) {
    if (d == dir || QFileInfo(d).isDir()) workdir_->addItem(d);
  }
  workdir_->setCurrentIndex(0);
}

std::string ProjectDialog::project() const {
  std::string typed = newproject_->text().trimmed().toStdString();
  if (!typed.empty()) return typed;
  QList<QTreeWidgetItem*> chosen = list_->selectedItems();
  return chosen.isEmpty() ? std::string() : chosen.first()->text(0).toStdString();
}

std::string ProjectDialog::workdir() const { return workdir_->currentText().toStdString(); }

bool ProjectDialog::busy() const { return runner_.busy(); }

const ProjectSettings* ProjectDialog::listed(const std::string& name) const {
  for (const ProjectSettings& p : projects_) {
    if (p.name == name) return &p;
  }
  return nullptr;
}

SessionOptions ProjectDialog::sessionof(const std::string& name) const {
  auto kept = sessions_.find(name);
  const ProjectSettings* p = listed(name);
  SessionOptions options = kept != sessions_.end() ? kept->second
                           : p                     ? p->session
                                                   : SessionOptions{};
  options.verbose = verbose_->isChecked();
  options.more = options_->text().toStdString();
  return options;
}

void ProjectDialog::reloadprojects() {
  std::string chosen = project();
  projects_ = listedprojects(workdir());
  // A new project the command has just listed is chosen in the list now.
  if (!newproject_->text().isEmpty() && listed(chosen)) newproject_->clear();
  list_->clear();
  for (const ProjectSettings& p : projects_) {
    auto* item = new QTreeWidgetItem(list_, {qstr(p.name), qstr(p.host),
                                             p.source ? QStringLiteral("source") : QString()});
    if (p.name == chosen) list_->setCurrentItem(item);
  }
  if (list_->selectedItems().isEmpty() && list_->topLevelItemCount() == 1 &&
      newproject_->text().isEmpty()) {
    list_->setCurrentItem(list_->topLevelItem(0));
  }
  list_->resizeColumnToContents(0);
  bool empty = projects_.empty() && files_->rowCount() == 0 && newproject_->text().isEmpty();
  pages_->setCurrentIndex(empty ? 1 : 0);
  updatebuttons();
}

void ProjectDialog::updatebuttons() {
  bool idle = !runner_.busy();
  for (QWidget* w : idleonly_) w->setEnabled(idle);
  std::string name = project();
  const ProjectSettings* p = listed(name);
  bool adding = idle && p && canupload(*p);
  upload_->setEnabled(adding);
  addfiles_->setEnabled(adding);
  QString why = p && !canupload(*p)
                    ? (p->source ? QStringLiteral("Upload needs a host that is a directory (a path)")
                                 : QStringLiteral("Upload is for a source project (see Settings)"))
                    : QString();
  upload_->setToolTip(why);
  addfiles_->setToolTip(why);
  if (!name.empty()) {
    actson_->setText(QStringLiteral("The buttons act on project <b>%1</b>%2.")
                         .arg(qstr(name).toHtmlEscaped(),
                              p ? QString() : QStringLiteral(" (not listed yet)")));
  } else if (!projects_.empty()) {
    actson_->setText(QStringLiteral(
        "No project chosen: Status, Download and Show Versions act on <b>every listed project</b>."));
  } else {
    actson_->setText(QStringLiteral("Type a project name, or begin as the page below shows."));
  }
  if (!newproject_->text().isEmpty() && pages_->currentIndex() == 1) pages_->setCurrentIndex(0);
}

void ProjectDialog::run(Command command) {
  if (command == Command::kUpload) {
    const ProjectSettings* p = listed(project());
    if (!p || !canupload(*p)) return;  // the button was disabled meanwhile
  }
  std::string name = project();
  Job job;
  job.words = commandwords(command, name, sessionof(name));
  job.project = name;
  job.reportnew = command == Command::kStatus;
  start(std::move(job), command, shownwords(job.words));
}

bool ProjectDialog::start(Job job, Command command, const std::string& shown) {
  job.workdir = workdir();
  QString rowsfor = qstr(job.workdir) + QLatin1Char('\n') + qstr(job.project);
  frontend_.startcommand();
  if (command == Command::kStatus || rowsfor != rowsfor_) {
    if (!job.diffonly.empty()) {
      // One file's differences leave the rows as they are.
    } else if (fillsfiles(command)) {
      files_->clear();
      rowsfor_ = rowsfor;
    }
  } else if (fillsfiles(command)) {
    files_->forgetoutcomes();
  }
  if (command == Command::kShowVersions) {
    versions_->clear();
    tabs_->setCurrentIndex(1);
  } else if (fillsfiles(command) && job.diffonly.empty()) {
    tabs_->setCurrentIndex(0);
  }
  pages_->setCurrentIndex(0);
  running_ = command;
  diffing_ = !job.diffonly.empty();
  donetext_ = std::exchange(nextdone_, QString());
  command_->setText(QStringLiteral("Command: ") + qstr(shown));
  result_->setText(QStringLiteral("Running..."));
  result_->setStyleSheet(QString());
  if (!runner_.start(std::move(job))) return false;
  updatebuttons();
  return true;
}

void ProjectDialog::takeevents() { files_->take(frontend_.takeevents()); }

void ProjectDialog::takeversions() {
  versions_->take(frontend_.takeversions());
  versions_->setreleases(frontend_.releasesknown());
  constexpr int kMeasuredRows = 2000;  // beyond that, measuring every row costs more than it gives
  if (versions_->rowCount() <= kMeasuredRows) {
    for (int c = 0; c < VersionListModel::kComment; ++c) versionview_->resizeColumnToContents(c);
  }
}

void ProjectDialog::finished(int code) {
  takeevents();
  takeversions();
  showprogress(-1);
  caption_->clear();
  RunFailure failure = frontend_.failure();
  QString line;
  if (!failure.text.isEmpty()) {
    line = QStringLiteral("Failed: ") + failure.text;
    if (!failure.cause.isEmpty()) line += QStringLiteral(" (") + failure.cause + QStringLiteral(")");
    result_->setStyleSheet(QStringLiteral("color: #c62828;"));
  } else if (code == 0 && !donetext_.isEmpty()) {
    line = donetext_;
  } else if (code == kCancelledCode) {
    line = QStringLiteral("Cancelled: ") + lastline(qstr(workdir()));
  } else if (fillsfiles(running_) && !diffing_ && !files_->summaries().empty()) {
    line = summaryline(*files_, transferof(running_));
  } else if (running_ == Command::kShowVersions && versions_->rowCount() > 0) {
    int n = versions_->rowCount();
    line = QStringLiteral("%1 %2 on the host").arg(n).arg(n == 1 ? "version" : "versions");
  } else {
    line = lastline(qstr(workdir()));
  }
  result_->setText(line);
  reloadprojects();
  if (running_ == Command::kShowLog || running_ == Command::kHelp) showfulloutput();
  emit commandended(code);
  if (closewhendone_) close();
}

void ProjectDialog::showfulloutput() {
  RunFailure failure = frontend_.failure();
  QString error = failure.text;
  if (!failure.cause.isEmpty()) error += QStringLiteral("\nCause: ") + failure.cause;
  showoutput(this, qstr(workdir()), error);
}

void ProjectDialog::showprogress(int percent) {
  if (percent < 0) {
    bar_->reset();
  } else {
    bar_->setValue(percent);
  }
  cancel_->setEnabled(runner_.busy());
}

// While the user answers, the caption says so and Cancel waits: the run
// acts on it only after the answer.
void ProjectDialog::asking(bool open) {
  if (!runner_.busy()) return;
  caption_->setText(open ? QStringLiteral("Waiting for your answer") : QString());
  cancel_->setEnabled(!open);
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
                                                  qstr(workdir()));
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

void ProjectDialog::help() {
  QDialog dialog(this);
  dialog.setObjectName(QStringLiteral("helpwindow"));
  dialog.setWindowTitle(QStringLiteral("Trosk help"));
  dialog.resize(620, 520);
  auto* text = new QTextBrowser(&dialog);
  text->setObjectName(QStringLiteral("helptext"));
  text->setHtml(QStringLiteral(
      "<h3>The Trosk window</h3>"
      "<p>Choose the <b>working directory</b> (the recent ones are in its list) and a "
      "<b>project</b> of it, or type the name of a new one. With no project chosen, Status, "
      "Download and Show Versions act on every listed project.</p>"
      "<ul>"
      "<li><b>Status</b> compares the files with the host and lists each one that differs, "
      "and the files here the host does not have, in the <b>Files</b> tab.</li>"
      "<li><b>Download</b> brings the files up to the host's version, asking before it "
      "replaces a file you changed; <b>Upload</b> and <b>Add files</b> (or dragging files onto "
      "the window) store your files as a new host version. Uploads need a source project whose "
      "host is a directory.</li>"
      "<li><b>Show Versions</b> lists the host's versions in the <b>Versions</b> tab; "
      "<b>Download this version</b> fetches the one you choose.</li>"
      "<li><b>Show Log</b> shows the project's activity log; <b>Verify Local</b> brings the "
      "local log up to date with the files.</li>"
      "</ul>"
      "<p>Each row of the file list has a menu (right click, or the menu key): the line "
      "differences, the file, its folder, its backup, and for an archive, unpacking it.</p>"
      "<p>A question names its project and offers only the answers it accepts. "
      "<b>Cancel</b> stops a command at its next step and leaves every file either as it was "
      "or as the host has it. <b>Show output</b> opens everything the last command printed.</p>"
      "<p><b>Settings</b> keeps a project's host, login name and password (kept for this "
      "session only) and the other options. <b>Options</b> takes further command-line "
      "options as the console program accepts them.</p>"));
  auto* options = new QPushButton(QStringLiteral("&Command-line options..."), &dialog);
  auto* close = new QPushButton(QStringLiteral("Close"), &dialog);
  close->setObjectName(QStringLiteral("close"));
  close->setDefault(true);
  connect(close, &QPushButton::clicked, &dialog, &QDialog::accept);
  connect(options, &QPushButton::clicked, &dialog, [this, &dialog] {
    dialog.accept();
    run(Command::kHelp);
  });
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(text, 1);
  auto* row = new QHBoxLayout;
  row->addWidget(options);
  row->addStretch(1);
  row->addWidget(close);
  layout->addLayout(row);
  dialog.exec();
}

void ProjectDialog::chooseaddfiles() {
  QStringList chosen = QFileDialog::getOpenFileNames(this, QStringLiteral("Add files to the project"),
                                                     qstr(workdir()));
  if (!chosen.isEmpty()) addfiles(chosen);
}

bool ProjectDialog::addfiles(const QStringList& paths) {
  std::string name = project();
  const ProjectSettings* p = listed(name);
  if (runner_.busy()) return false;
  if (!p || !canupload(*p)) {
    frontend_.alert("Files can be added only to a source project whose host is a directory: "
                    "choose one in the list (Settings marks a project as source).");
    return false;
  }
  QDir base(qstr(workdir()));
  std::vector<std::string> names;
  for (const QString& path : paths) {
    QFileInfo info(path);
    QString relative = base.relativeFilePath(info.absoluteFilePath());
    if (relative.startsWith(QLatin1String("..")) || QDir::isAbsolutePath(relative)) {
      frontend_.alert(("Only files inside the working directory can be added: " + path).toStdString());
      return false;
    }
    if (info.isDir()) {
      QDirIterator walk(info.absoluteFilePath(), QDir::Files, QDirIterator::Subdirectories);
      while (walk.hasNext()) names.push_back(base.relativeFilePath(walk.next()).toStdString());
    } else {
      names.push_back(relative.toStdString());
    }
  }
  if (names.empty()) return false;
  std::optional<QString> comment =
      asktext(this, Question{QStringLiteral("Add comment: "), QString(), qstr(name)});
  if (!comment) return false;  // Cancel adds nothing
  nextdone_ = QStringLiteral("Added %1 %2 to %3").arg(names.size()).arg(names.size() == 1 ? "file" : "files", qstr(name));
  Job job;
  job.words = addwords(name, names, comment->toStdString(), sessionof(name));
  job.project = name;
  return start(std::move(job), Command::kUpload, shownwords(job.words));
}

void ProjectDialog::startproject(bool fromhost) {
  StartDialog dialog(fromhost, qstr(workdir()), this);
  if (dialog.exec() != QDialog::Accepted) return;
  StartChoice c = dialog.choice();
  SessionOptions options = sessionof(c.name);
  options.login = c.login;
  options.password = c.password;
  sessions_[c.name] = options;
  newproject_->setText(qstr(c.name));
  list_->clearSelection();
  if (!fromhost) {
    nextdone_ = QStringLiteral("Started %1 with %2 files on %3")
                    .arg(qstr(c.name)).arg(c.files.size()).arg(qstr(c.host));
  }
  Job job;
  job.words = fromhost ? getwords(c.name, c.host, options) : startwords(c.name, c.host, c.files, c.comment, options);
  job.project = c.name;
  start(std::move(job), fromhost ? Command::kDownload : Command::kUpload, shownwords(job.words));
}

void ProjectDialog::downloadversion() {
  QModelIndex at = versionview_->currentIndex();
  if (!at.isValid() || runner_.busy()) return;
  const VersionRow& v = versions_->row(at.row());
  std::string name = project();
  if (name.empty() && !projects_.empty()) name = projects_.front().name;
  SessionOptions options = sessionof(name);
  options.version = std::to_string(v.version) + "/" + std::to_string(v.subversion);
  Job job;
  job.words = commandwords(Command::kDownload, name, options);
  job.project = name;
  start(std::move(job), Command::kDownload, shownwords(job.words));
}

void ProjectDialog::filemenu(const QPoint& at) {
  QModelIndex index = filter_->mapToSource(fileview_->indexAt(at));
  if (!index.isValid() || runner_.busy()) return;
  const FileRow& row = files_->row(index.row());
  QString path = QDir(qstr(workdir())).filePath(row.name);
  QString name = row.name;
  bool here = QFileInfo::exists(path);
  QMenu menu(this);
  menu.setObjectName(QStringLiteral("filemenu"));
  QAction* diff = menu.addAction(QStringLiteral("&Differences with the host"), this,
                                 [this, name] { showdiff(name); });
  diff->setEnabled(here && row.differs && row.state != QLatin1String("New") &&
                   row.state != QLatin1String("Missing"));
  menu.addAction(QStringLiteral("&Open the file"), this,
                 [path] { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); })
      ->setEnabled(here);
  menu.addAction(QStringLiteral("Open its &folder"), this, [path] {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
  });
  QString backup = row.done && row.outcome == FileOutcome::kBackedUp
                       ? QDir(qstr(workdir())).filePath(row.detail)
                       : QString();
  menu.addAction(QStringLiteral("Open its &backup"), this,
                 [backup] { QDesktopServices::openUrl(QUrl::fromLocalFile(backup)); })
      ->setEnabled(!backup.isEmpty() && QFileInfo::exists(backup));
  menu.addAction(QStringLiteral("&Unpack into the working directory"), this,
                 [this, name] { unpack(name); })
      ->setEnabled(here && isarchive(path.toStdString()));
  menu.exec(fileview_->viewport()->mapToGlobal(at));
}

void ProjectDialog::showdiff(const QString& name) {
  std::string project = rowsfor_.section(QLatin1Char('\n'), 1).toStdString();
  Job job;
  job.words = commandwords(Command::kStatus, project, sessionof(project));
  job.project = project;
  job.diffonly = name.toStdString();
  start(std::move(job), Command::kStatus, shownwords(job.words) + " (differences of " + job.diffonly + ")");
}

void ProjectDialog::unpack(const QString& name) {
  Job job;
  job.project = rowsfor_.section(QLatin1Char('\n'), 1).toStdString();
  job.unpack = name.toStdString();
  start(std::move(job), Command::kShowLog, "unpack " + job.unpack);
}

void ProjectDialog::keyPressEvent(QKeyEvent* event) {
  // Enter presses the button that has the focus, as in a dialog.
  bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (auto* b = qobject_cast<QAbstractButton*>(focusWidget()); enter && b && b->isEnabled()) {
    b->animateClick();
    return;
  }
  QWidget::keyPressEvent(event);
}

void ProjectDialog::dragEnterEvent(QDragEnterEvent* event) {
  if (!runner_.busy() && event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void ProjectDialog::dropEvent(QDropEvent* event) {
  QStringList paths;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) paths << url.toLocalFile();
  }
  event->acceptProposedAction();
  if (!paths.isEmpty()) addfiles(paths);
}

void ProjectDialog::closeEvent(QCloseEvent* event) {
  if (!runner_.busy()) {
    event->accept();
    return;
  }
  event->ignore();
  if (closewhendone_) return;
  QMessageBox ask(QMessageBox::Question, QStringLiteral("Trosk"),
                  QStringLiteral("A command is running. Cancel it and close the window?"),
                  QMessageBox::Yes | QMessageBox::No, this);
  ask.setObjectName(QStringLiteral("closequestion"));
  ask.setDefaultButton(QMessageBox::No);
  if (ask.exec() != QMessageBox::Yes) return;
  // The window goes when the run has stopped, its files whole.
  closewhendone_ = true;
  runner_.cancel();
  caption_->setText(QStringLiteral("Cancelling, then closing..."));
}

}  // namespace trosk
