#include "gui/versionlist.h"

#include <QFont>
#include <algorithm>

namespace trosk {

int VersionListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int VersionListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumns;
}

QVariant VersionListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  static const char* const kHeaders[kColumns] = {"Date", "Version", "Release", "Activity", "Comment"};
  return QString::fromLatin1(kHeaders[section]);
}

QString VersionListModel::marks(const VersionRow& row) const {
  QStringList found;
  if (row.version == releases_.stable) found << QStringLiteral("stable");
  if (row.version == releases_.beta) found << QStringLiteral("beta");
  if (row.version == releases_.alpha) found << QStringLiteral("alpha");
  if (row.version == releases_.haveVersion && row.subversion == releases_.haveSubversion) {
    found << QStringLiteral("in this directory");
  }
  return found.join(QStringLiteral(", "));
}

QVariant VersionListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const VersionRow& r = row(index.row());
  if (role == Qt::FontRole && !marks(r).isEmpty()) {
    QFont bold;
    bold.setBold(true);
    return bold;
  }
  if (role != Qt::DisplayRole) return {};
  switch (index.column()) {
    case kDate: return r.date;
    case kVersion: return QStringLiteral("%1/%2").arg(r.version).arg(r.subversion);
    case kRelease: return marks(r);
    case kActivity: return r.activity;
    case kComment: return r.comment;
    default: return {};
  }
}

void VersionListModel::take(std::vector<VersionRow> rows) {
  if (rows.empty()) return;
  int n = static_cast<int>(rows.size());
  beginInsertRows({}, 0, n - 1);
  std::reverse(rows.begin(), rows.end());
  rows_.insert(rows_.begin(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
  endInsertRows();
}

void VersionListModel::setreleases(const ReleaseVersions& releases) {
  releases_ = releases;
  if (!rows_.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, kColumns - 1));
}

void VersionListModel::clear() {
  beginResetModel();
  rows_.clear();
  releases_ = {};
  endResetModel();
}

}  // namespace trosk
