#include "QtTableModel.h"

#include <utility>

void QtTableModel::setContents(std::vector<std::string> columns,
                               std::vector<std::vector<std::string>> rows) {
  beginResetModel();
  columns_ = std::move(columns);
  rows_ = std::move(rows);
  endResetModel();
}

int QtTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int QtTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant QtTableModel::data(const QModelIndex& index, int role) const {
  const auto row = static_cast<std::size_t>(index.row());
  const auto column = static_cast<std::size_t>(index.column());
  if (role != Qt::DisplayRole || !index.isValid() || row >= rows_.size() ||
      column >= rows_[row].size()) {
    return {};
  }
  return QString::fromStdString(rows_[row][column]);
}

QVariant QtTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
      static_cast<std::size_t>(section) >= columns_.size()) {
    return {};
  }
  return QString::fromStdString(columns_[static_cast<std::size_t>(section)]);
}
