#pragma once

#include <QAbstractTableModel>
#include <string>
#include <vector>

// The texts of a table as Qt's views read them: column titles and rows of cell
// texts, replaced all at once.
class QtTableModel : public QAbstractTableModel {
 public:
  QtTableModel() = default;

  void setContents(std::vector<std::string> columns, std::vector<std::vector<std::string>> rows);

  int rowCount(const QModelIndex& parent) const override;
  int columnCount(const QModelIndex& parent) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  std::vector<std::string> columns_;
  std::vector<std::vector<std::string>> rows_;
};
