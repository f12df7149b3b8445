#include "gui/filelist.h"

#include <QColor>
#include <QIcon>
#include <QLocale>
#include <QPainter>
#include <QPixmap>
#include <map>

namespace trosk {
namespace {

constexpr const char* kOutcomeWords[kFileOutcomes] = {
    "downloaded", "uploaded", "kept", "backed up", "left for the next run", "refused", "failed"};

QColor statecolour(const QString& state) {
  static const std::map<QString, QColor> colours = {
      {QStringLiteral("Modified"), QColor(0xd9, 0x8c, 0x00)},
      {QStringLiteral("Missing"), QColor(0xc6, 0x28, 0x28)},
      {QStringLiteral("New"), QColor(0x1e, 0x6f, 0xd9)},
      {QStringLiteral("Newer on host"), QColor(0x7b, 0x3f, 0xc4)},
      {QStringLiteral("Conflict"), QColor(0x8b, 0x00, 0x00)},
      {QStringLiteral("Unchanged"), QColor(0x4c, 0xaf, 0x50)},
  };
  auto found = colours.find(state);
  return found != colours.end() ? found->second : QColor(Qt::gray);
}

// A small round mark in the state's colour, made once per state.
QIcon stateicon(const QString& state) {
  static QHash<QString, QIcon> made;
  auto found = made.find(state);
  if (found != made.end()) return *found;
  QPixmap mark(12, 12);
  mark.fill(Qt::transparent);
  QPainter paint(&mark);
  paint.setRenderHint(QPainter::Antialiasing);
  paint.setBrush(statecolour(state));
  paint.setPen(statecolour(state).darker(130));
  paint.drawEllipse(1, 1, 10, 10);
  paint.end();
  return *made.insert(state, QIcon(mark));
}

QString sizetext(qint64 size) { return QLocale::system().toString(size); }

}  // namespace

QString stateword(const FileEvent& e) {
  const QString& word = e.state;
  if (word == QLatin1String("New") || word == QLatin1String("Missing") ||
      word == QLatin1String("Unchanged") || !e.localExists) {
    return word;
  }
  if (e.changedHere && e.changedOnHost) return QStringLiteral("Conflict");
  if (e.changedOnHost) return QStringLiteral("Newer on host");
  if (e.changedHere) return QStringLiteral("Modified");
  // No record of what both sides last shared: the stamps tell which is later.
  return word == QLatin1String("Old") ? QStringLiteral("Newer on host") : QStringLiteral("Modified");
}

QString outcomeword(const FileRow& row) {
  if (!row.done) return {};
  QString word = QString::fromLatin1(kOutcomeWords[static_cast<int>(row.outcome)]);
  if (row.detail.isEmpty()) return word;
  if (row.outcome == FileOutcome::kBackedUp) return word + QStringLiteral(" to ") + row.detail;
  return word + QStringLiteral(": ") + row.detail;
}

int FileListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int FileListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumns;
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  static const char* const kHeaders[kColumns] = {"State",      "File",      "Result",   "Local size",
                                                 "Local date", "Host size", "Host date"};
  return QString::fromLatin1(kHeaders[section]);
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const FileRow& r = row(index.row());
  int column = index.column();
  if (role == Qt::DecorationRole && column == kState) return stateicon(r.state);
  if (role == Qt::ToolTipRole && column == kOutcome) return outcomeword(r);
  if (role == Qt::ToolTipRole && column == kFile && manyprojects()) {
    return QStringLiteral("Project: ") + r.project;
  }
  if (role == Qt::TextAlignmentRole && (column == kLocalSize || column == kHostSize)) {
    return QVariant(Qt::AlignRight | Qt::AlignVCenter);
  }
  if (role == kSortRole) {
    if (column == kLocalSize) return r.localSize;
    if (column == kHostSize) return r.hostSize;
  }
  if (role != Qt::DisplayRole && role != kSortRole) return {};
  switch (column) {
    case kState: return r.state;
    case kFile: return manyprojects() ? r.project + QStringLiteral(": ") + r.name : r.name;
    case kOutcome: return outcomeword(r);
    case kLocalSize: return r.localExists ? sizetext(r.localSize) : QString();
    case kLocalDate: return r.localDate;
    case kHostSize: return r.state == QLatin1String("New") ? QString() : sizetext(r.hostSize);
    case kHostDate: return r.hostDate;
    default: return {};
  }
}

FileRow& FileListModel::rowfor(const QString& project, const QString& name, bool* added) {
  QString key = project + QLatin1Char('\n') + name;
  auto found = index_.find(key);
  *added = found == index_.end();
  if (!*added) return rows_[static_cast<std::size_t>(*found)];
  index_.insert(key, static_cast<int>(rows_.size()));
  FileRow& r = rows_.emplace_back();
  r.project = project;
  r.name = name;
  return r;
}

void FileListModel::take(std::vector<FileEvent> events) {
  int before = static_cast<int>(rows_.size());
  int firstchanged = before, lastchanged = -1;
  for (FileEvent& e : events) {
    projects_.insert(e.project);
    if (e.kind == FileEvent::Kind::kSummary) {
      summaries_.push_back(std::move(e));
      continue;
    }
    bool added;
    FileRow& r = rowfor(e.project, e.name, &added);
    if (!added) {
      int at = static_cast<int>(&r - rows_.data());
      firstchanged = std::min(firstchanged, at);
      lastchanged = std::max(lastchanged, at);
    }
    if (e.kind == FileEvent::Kind::kState) {
      r.state = stateword(e);
      r.localExists = e.localExists;
      r.differs = e.differs;
      r.localSize = e.localSize;
      r.hostSize = e.hostSize;
      r.localDate = std::move(e.localDate);
      r.hostDate = std::move(e.hostDate);
    } else {
      r.done = true;
      r.outcome = e.outcome;
      r.detail = std::move(e.detail);
    }
  }
  int after = static_cast<int>(rows_.size());
  if (after > before) {
    // The rows are in place already: the views only hear of them now.
    beginInsertRows({}, before, after - 1);
    endInsertRows();
  }
  if (lastchanged >= 0) emit dataChanged(index(firstchanged, 0), index(lastchanged, kColumns - 1));
}

void FileListModel::clear() {
  beginResetModel();
  rows_.clear();
  index_.clear();
  summaries_.clear();
  projects_.clear();
  endResetModel();
}

void FileListModel::forgetoutcomes() {
  for (FileRow& r : rows_) {
    r.done = false;
    r.detail.clear();
  }
  summaries_.clear();
  if (!rows_.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, kColumns - 1));
}

int FileListModel::differing() const {
  int n = 0;
  for (const FileRow& r : rows_) n += r.differs ? 1 : 0;
  return n;
}

FileFilter::FileFilter(QObject* parent) : QSortFilterProxyModel(parent) {
  setSortRole(FileListModel::kSortRole);
  setSortCaseSensitivity(Qt::CaseInsensitive);
}

void FileFilter::setstate(const QString& state) {
  state_ = state;
  invalidateFilter();
}

bool FileFilter::filterAcceptsRow(int row, const QModelIndex&) const {
  if (state_.isEmpty()) return true;
  const FileRow& r = static_cast<const FileListModel*>(sourceModel())->row(row);
  if (state_ == QLatin1String("differing")) return r.state != QLatin1String("Unchanged");
  return r.state == state_;
}

QString summaryline(const FileListModel& model, const QString& transfer) {
  std::array<int, kFileOutcomes> counts{};
  int compared = 0;
  bool cancelled = false;
  for (const FileEvent& s : model.summaries()) {
    for (int i = 0; i < kFileOutcomes; ++i) counts[static_cast<std::size_t>(i)] += s.counts[static_cast<std::size_t>(i)];
    compared += s.compared;
    cancelled = cancelled || s.cancelled;
  }
  QStringList parts;
  QString line;
  if (transfer.isEmpty()) {
    std::map<QString, int> states;
    for (int i = 0; i < model.rowCount(); ++i) {
      const FileRow& r = model.row(i);
      if (r.state != QLatin1String("Unchanged")) ++states[r.state.toLower()];
    }
    for (const auto& [state, n] : states) parts << QStringLiteral("%1 %2").arg(n).arg(state);
    line = parts.isEmpty() ? QStringLiteral("All %1 files are up to date").arg(compared)
                           : QStringLiteral("%1 of %2 files differ: %3")
                                 .arg(model.differing()).arg(compared).arg(parts.join(QStringLiteral(", ")));
  } else {
    for (int i = 0; i < kFileOutcomes; ++i) {
      int n = counts[static_cast<std::size_t>(i)];
      if (n > 0) parts << QStringLiteral("%1 %2").arg(n).arg(QString::fromLatin1(kOutcomeWords[i]));
    }
    if (parts.isEmpty()) {
      line = transfer == QLatin1String("upload")
                 ? QStringLiteral("Nothing to upload: no file has changed")
                 : QStringLiteral("Nothing to %1: all %2 files are up to date").arg(transfer).arg(compared);
    } else {
      line = parts.join(QStringLiteral(", "));
    }
    if (counts[static_cast<std::size_t>(FileOutcome::kLeft)] > 0) {
      line += QStringLiteral(". Run %1 again to move the rest").arg(transfer);
    }
  }
  return cancelled ? QStringLiteral("Cancelled. ") + line : line;
}

}  // namespace trosk
