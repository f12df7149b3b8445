// The versions view's model: the host's version log as a table, newest
// first, with the versions the catalogue names as stable, beta and alpha,
// and the one the working directory has, marked.
#pragma once

#include <QAbstractTableModel>
#include <vector>

#include "gui/windowfrontend.h"

namespace trosk {

class VersionListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { kDate, kVersion, kRelease, kActivity, kComment, kColumns };

  using QAbstractTableModel::QAbstractTableModel;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // Lines in the log's order; each batch goes on top of those before.
  void take(std::vector<VersionRow> rows);
  void setreleases(const ReleaseVersions& releases);
  void clear();
  const VersionRow& row(int index) const { return rows_[static_cast<std::size_t>(index)]; }
  // "stable", "beta, here", ...: what the version of the row is.
  QString marks(const VersionRow& row) const;

 private:
  std::vector<VersionRow> rows_;  // newest first
  ReleaseVersions releases_;
};

}  // namespace trosk
