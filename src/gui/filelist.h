// The file view's model: one row per file the engine reported, with its
// state, sizes and dates, and what the command did with it. Fed by the
// file events in batches; sorted and filtered by a proxy of its own.
#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QSet>
#include <QSortFilterProxyModel>
#include <vector>

#include "gui/fileevent.h"

namespace trosk {

struct FileRow {
  QString project;
  QString name;
  QString state;  // the word shown: "Modified", "Missing", "New", "Newer on host", ...
  bool localExists = false;
  bool differs = false;
  qint64 localSize = 0;
  qint64 hostSize = 0;
  QString localDate, hostDate;
  bool done = false;  // the command decided what became of the file
  FileOutcome outcome = FileOutcome::kDownloaded;
  QString detail;  // the backup, or why the file was refused or failed
};

// The word a state is shown by: the status listing's own word, told more
// exactly where the local log knows what changed where.
QString stateword(const FileEvent& e);
// "downloaded", "kept", "backed up to Trosk_bkup/a.txt", "refused: why", ...
QString outcomeword(const FileRow& row);

class FileListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { kState, kFile, kOutcome, kLocalSize, kLocalDate, kHostSize, kHostDate, kColumns };
  static constexpr int kSortRole = Qt::UserRole + 1;

  using QAbstractTableModel::QAbstractTableModel;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  void take(std::vector<FileEvent> events);
  void clear();
  // A transfer begins over rows a status listed: their outcomes go.
  void forgetoutcomes();
  const FileRow& row(int index) const { return rows_[static_cast<std::size_t>(index)]; }
  const std::vector<FileEvent>& summaries() const { return summaries_; }
  // Rows whose file differs from the host (or is not on it).
  int differing() const;
  bool manyprojects() const { return projects_.size() > 1; }

 private:
  FileRow& rowfor(const QString& project, const QString& name, bool* added);

  std::vector<FileRow> rows_;
  QHash<QString, int> index_;  // project + '\n' + name -> row
  std::vector<FileEvent> summaries_;
  QSet<QString> projects_;
};

// Sorting by the shown column (sizes as numbers) and filtering by state.
class FileFilter : public QSortFilterProxyModel {
  Q_OBJECT

 public:
  explicit FileFilter(QObject* parent = nullptr);
  // Empty: every row; "differing": every row but the unchanged ones; else
  // the rows whose state is this word.
  void setstate(const QString& state);

 protected:
  bool filterAcceptsRow(int row, const QModelIndex& parent) const override;

 private:
  QString state_;
};

// The line that ends a command: what it did in numbers, or that there was
// nothing to do. `transfer` names the command's verb ("download", "upload")
// or is empty for a status.
QString summaryline(const FileListModel& model, const QString& transfer);

}  // namespace trosk
