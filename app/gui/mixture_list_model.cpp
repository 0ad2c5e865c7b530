#include "mixture_list_model.h"

namespace mixora::gui {

const char* const MixtureListModel::kHeaders[kColumnCount] = {
    "#", "nFish", "nBad", "nRecs", "Status", "Year", "Vial", "Date", "Area", "Gear", "Desc."};
const int MixtureListModel::kWidths[kColumnCount] = {36, 40, 40, 44, 60, 36, 58, 50, 50, 50, 50};

void MixtureListModel::setRows(std::vector<MixtureRow> rows) {
  beginResetModel();
  rows_ = std::move(rows);
  endResetModel();
  Q_EMIT marksChanged();
}

void MixtureListModel::clear() { setRows({}); }

void MixtureListModel::setRow(int index, const MixtureRow& row) {
  if (index < 0 || index >= rowCount()) return;
  const bool marked = rows_[static_cast<std::size_t>(index)].marked;
  rows_[static_cast<std::size_t>(index)] = row;
  rows_[static_cast<std::size_t>(index)].marked = marked;
  Q_EMIT dataChanged(this->index(index, 0), this->index(index, kColumnCount - 1));
}

int MixtureListModel::markedCount() const {
  int count = 0;
  for (const MixtureRow& row : rows_) count += row.marked ? 1 : 0;
  return count;
}

std::vector<int> MixtureListModel::marked() const {
  std::vector<int> list;
  for (const MixtureRow& row : rows_)
    if (row.marked) list.push_back(row.number);
  return list;
}

bool MixtureListModel::isMarked(int index) const {
  return index >= 0 && index < rowCount() && rows_[static_cast<std::size_t>(index)].marked;
}

void MixtureListModel::setMarked(int index, bool marked) {
  if (index < 0 || index >= rowCount() || rows_[static_cast<std::size_t>(index)].marked == marked)
    return;
  rows_[static_cast<std::size_t>(index)].marked = marked;
  Q_EMIT dataChanged(this->index(index, 0), this->index(index, 0), {Qt::CheckStateRole});
  Q_EMIT marksChanged();
}

void MixtureListModel::markAll(bool marked) {
  for (MixtureRow& row : rows_) row.marked = marked;
  if (!rows_.empty()) Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::CheckStateRole});
  Q_EMIT marksChanged();
}

void MixtureListModel::toggleAll() {
  for (MixtureRow& row : rows_) row.marked = !row.marked;
  if (!rows_.empty()) Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::CheckStateRole});
  Q_EMIT marksChanged();
}

int MixtureListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int MixtureListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant MixtureListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const MixtureRow& row = rows_[static_cast<std::size_t>(index.row())];
  if (role == Qt::CheckStateRole && index.column() == 0)
    return row.marked ? Qt::Checked : Qt::Unchecked;
  if (role != Qt::DisplayRole) return {};
  switch (index.column()) {
    case 0: return row.number + 1;
    case 1: return row.fish;
    case 2: return row.bad;
    case 3: return row.records;
    case 4: return QString(MixtureStatusText(row.status));
    case 5: return row.year;
    case 6: return QString::fromStdString(row.vial);
    case 7: return QString::fromStdString(row.date);
    case 8: return QString::fromStdString(row.area);
    case 9: return QString::fromStdString(row.gear);
    case 10: return QString::fromStdString(row.desc);
    default: return {};
  }
}

QVariant MixtureListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
      section < kColumnCount)
    return QString(kHeaders[section]);
  return {};
}

Qt::ItemFlags MixtureListModel::flags(const QModelIndex& index) const {
  Qt::ItemFlags f = QAbstractTableModel::flags(index);
  if (index.isValid() && index.column() == 0) f |= Qt::ItemIsUserCheckable;
  return f;
}

bool MixtureListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::CheckStateRole || !index.isValid() || index.column() != 0) return false;
  setMarked(index.row(), value.toInt() == Qt::Checked);
  return true;
}

}  // namespace mixora::gui
